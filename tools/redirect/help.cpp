#include "tools/redirect/options.h"

namespace varnox::redirect {

std::string helpText() {
    return R"(Usage: varnox-redirect COMMAND [OPTIONS]
       varnox-redirect --help | --version

Prepares and uploads an Unreal Tournament redirect server: compresses the game
folder's packages into its uz folder with the .uz codec, and uploads the .uz
files over FTP or SFTP.

Commands:
  status     one line per package (Maps/*.unr, Sounds/*.uax, Music/*.umx,
             Textures/*.utx; with --system also System/*.u): its .uz in uz/
             missing, out of date ("older"), or up to date; and, when a server
             is known, whether the server's copy is missing, of another size,
             or held under another letter case. A summary last.
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
  upload     uploads every .uz of uz/ that the server folder lacks or holds
             with another size, over one connection. Each file goes to a
             temporary name and is renamed when complete; where the server will
             not rename onto an existing file, the old one is deleted first,
             and the output says so. A temporary name is removed once it has
             kept its size for 10 minutes (as seen by runs from this uz
             folder): no live run, from this machine or another, still sends
             it. A file that cannot be sent (a name the server refuses, a
             refused write) is reported and the others go on; a failure of the
             connection or the login stops the run. Names are compared
             exactly: clients ask for a package's exact name, so a copy in
             another letter case is reported and the exact name uploaded
             beside it.
  sync       compress, then upload.
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
                        (see trust), PATH its folder to upload into
  --user NAME           the user to log in as
  --password-file FILE  read the password from the first line of FILE; a
                        password is never given on the command line. The
                        variable VARNOX_FTP_PASSWORD gives one as well
  --remote PATH         the server folder to upload into (default: the login
                        folder, or the PATH of an sftp:// server, from which a
                        relative --remote is taken; --remote wins)
  --identity FILE       SFTP: the private key to log in with (default: the
                        keys in ~/.ssh and those of a running ssh-agent; the
                        password, if any, is offered as well)
  --passive, --active   passive (default) or active FTP data connections
  --system              also System/*.u packages
  --jobs N, -j N        packages compressed at once (default: the number of
                        cores)
  --verify              compress: a .uz without a record in the manifest is
                        decoded and compared with its package
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
settings or the server did, 2 for a usage error.
)";
}

}  // namespace varnox::redirect
