#include "tools/redirect/options.h"

namespace varnox::redirect {

std::string helpText() {
    return R"(Usage: varnox-redirect COMMAND [OPTIONS]
       varnox-redirect --help | --version

Prepares, uploads and checks an Unreal Tournament redirect server: compresses
the packages players need into the game folder's uz folder with the .uz codec,
uploads the .uz files over FTP or SFTP or into a folder a web server here
serves, and asks for them over HTTP as a client does.

The packages players need are those System/UnrealTournament.ini names in
ServerPackages, every map in the map folders of its Paths, and every package
they import, again and again, less the stock packages every player has (the
retail game and its bonus packs). Only the packages' headers and tables are
read. Without an ini file, and with --all, every package counts by folder:
Maps/*.unr, Sounds/*.uax, Music/*.umx, Textures/*.utx (with --system also
System/*.u), and upload takes every .uz of uz/.

Commands:
  status     one line per package: its .uz in uz/ missing, out of date
             ("older") or up to date, and whether it is not smaller than its
             package (clients before 469 cannot download such a .uz); why it
             is needed; and, when a server is known, whether the server's copy
             is missing, differs, is the same as uploaded, is "unverified"
             (the right size, but no upload of this uz folder recorded it), or
             is held under another letter case. A summary last.
  needs      the needed set: each package's file and why it is needed
             (ServerPackages, the packages that import it, or a map), and
             every name needed but found nowhere the game looks, with who
             needs it. Exits with 1 when anything needed is missing here.
  compress   compresses every package whose .uz is missing or out of date,
             several at once. The manifest uz/.varnox-manifest records the size
             and modification time of the package each .uz was made from; a .uz
             is made again whenever the package differs from that record, also
             when its time went back (unzip, tar, cp -p, rsync -a). A .uz
             without a record (made by ucc or the windows) counts as up to date
             when it is at least as new as its package; with --verify it is
             decoded and compared with the package instead. Each .uz is written
             to a temporary file and renamed into place, so a run cut short
             leaves every .uz old or new; the next run removes its temporary
             files. A package that fails is reported and the others go on; a
             symbolic link named as a package that leads nowhere is a failure.
  upload     uploads, over one connection, every .uz the server folder lacks
             or holds other than this uz folder last sent it. The manifest
             records, per server and folder, what each upload sent (size and
             SHA-256) and how the server listed it afterwards (size and time):
             a .uz whose bytes differ from the record is sent again, also when
             its size stayed the same, and so is a server copy whose listed
             size or time changed since (someone else replaced it). A server
             copy of the right size that no record speaks for is "unverified"
             and stays; with --verify it is downloaded and sent again when its
             bytes differ. With --delete, the .uz files in the server folder
             whose package is not needed (letter case not counting) are
             removed; no other file ever is. Each file goes to a temporary
             name and is renamed when complete; where the server will not
             rename onto an existing file, the old one is deleted first, and
             the output says so. A temporary name is removed once it has kept
             its size for 10 minutes (as seen by runs from this uz folder): no
             live run, from this machine or another, still sends it. A file
             that cannot be sent is reported and the others go on; a failure
             of the connection or the login stops the run. Names are compared
             exactly: clients ask for a package's exact name, so a copy in
             another letter case is reported and the exact name uploaded
             beside it. Where the ini file says UseCompression=False, the
             packages themselves are uploaded in place of their .uz files.
  sync       compress, then upload.
  check      asks for every needed package as a game client does, over plain
             HTTP, at the redirect address (the ini file's RedirectToURL, or
             --url) followed by the file name and .uz, in its exact letter
             case, several requests at once on kept-alive connections; and
             holds what comes back against the local .uz, byte by byte (with
             --quick only the size a HEAD request gives). Each package is ok,
             missing, case (served only under another letter case), differs,
             redirected (old clients do not follow a redirect), too_large (not
             smaller than its package) or failed (no answer to go by). Exits
             with 0 only when every needed package is ok.
  trust      connects to a TLS server (--server ftpes://HOST[:PORT] or
             ftps://HOST[:PORT]), shows its certificate (subject, issuer,
             validity, SHA-256) and, on a terminal, asks whether to trust it;
             with --fingerprint SHA256 it is trusted without a question when it
             has that fingerprint. It is kept in trusted_servers.txt beside the
             settings file, where the FTP window keeps it. For an SFTP server
             (--server sftp://HOST) it shows the host key's SHA-256 fingerprint
             as ssh does and adds the key to ~/.ssh/known_hosts; a key that
             differs from the one known for the server is refused, never
             replaced.

Runs from one game folder take turns: compressing runs for the uz folder,
uploading runs for each server folder (locks on hidden files in uz/). A run
waits up to a minute for the one before, then says which run holds it and
exits with 1.

Options:
  --game DIR            the game folder (default: the one the settings file
                        names)
  --config FILE         the settings file (default: the one the varnox
                        windows use: config.txt beside the program when its
                        folder can be written and is not under /usr, else
                        ~/.config/varnox/config.txt); it gives the game
                        folder, server, user and password
  --server HOST[:PORT]  the FTP server; ftpes://HOST asks for TLS on the FTP
                        port, ftps://HOST speaks TLS from the start (port 990);
                        sftp://[USER@]HOST[:PORT][/PATH] is an SFTP server
                        (port 22) whose host key ~/.ssh/known_hosts must know
                        (see trust), PATH its folder to upload into;
                        file:///PATH is a folder on this machine that a web
                        server here serves: it must exist, each file is
                        renamed into place whole and readable by everyone
                        (0644); --user, --password-file, --identity and
                        --passive do not apply
  --user NAME           the user to log in as
  --password-file FILE  read the password from the first line of FILE; a
                        password is never given on the command line. The
                        variable VARNOX_FTP_PASSWORD gives one as well
  --remote PATH         the server folder to upload into (default: the login
                        folder, or the PATH of an sftp:// or file:// server,
                        from which a relative --remote is taken; --remote wins)
  --identity FILE       SFTP: the private key to log in with (default: the
                        keys in ~/.ssh and those of a running ssh-agent; the
                        password, if any, is offered as well)
  --passive, --active   passive (default) or active FTP data connections
  --all                 every package by folder, whatever the ini file says
  --system              by folder: also System/*.u packages
  --ini FILE            the game's ini file (default: the game folder's
                        System/UnrealTournament.ini)
  --stock FILE          more stock packages, one name a line (may be repeated)
  --include-stock       count stock packages as any other
  --jobs N, -j N        packages compressed at once (default: the number of
                        cores)
  --verify              compress: a .uz without a record in the manifest is
                        decoded and compared with its package; upload: an
                        unverified server copy is downloaded and compared
  --delete              upload, sync: remove the .uz files of packages that
                        are not needed from the server folder
  --url URL             check: the redirect address, in place of RedirectToURL
  --quick               check: compare sizes only, from HEAD requests
  --fingerprint SHA256  trust: the certificate's SHA-256 fingerprint (with or
                        without colons)
  --timeout SECONDS     the longest the whole run may take; past it the run
                        stops, removes its temporary files (here and on the
                        server) and exits with 1
  --dry-run             say what would be done; no file is written, nothing on
                        the server changes (the server is still listed)
  --quiet               print failures only
  --json                one JSON object per line, for scripts
  --timestamps          start every text line with the local time (ISO 8601
                        with offset); always so when the output is not a
                        terminal
  --help, -h            this description
  --version             the version

On a terminal, long steps show a progress line with bytes, rate and time left,
fitted to the terminal's width. Control characters and bytes that are not
UTF-8 in names and server replies are shown as \xNN. A TLS certificate that
does not verify must be trusted once, with the trust command or in the FTP
window of varnox; otherwise the connection fails. A --password-file that group
or others can read is refused.

Exit status: 0 when everything succeeded, 1 when any item failed or the
settings or the server did (needs: anything needed is missing here; check: a
package is not ok), 2 for a usage error.
)";
}

}  // namespace varnox::redirect
