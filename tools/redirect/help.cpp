#include "tools/redirect/options.h"

namespace varnox::redirect {

std::string helpText() {
    return R"(Usage: varnox-redirect COMMAND [OPTIONS]
       varnox-redirect --help | --version

Prepares and uploads an Unreal Tournament redirect server: compresses the game
folder's packages into its uz folder with the .uz codec, and uploads the .uz
files over FTP.

Commands:
  status     one line per package (Maps/*.unr, Sounds/*.uax, Music/*.umx,
             Textures/*.utx; with --system also System/*.u): its .uz in uz/
             missing, older than the package, or up to date; and, when a server
             is known, whether the server's copy is missing, of another size,
             or held under another letter case. A summary last.
  compress   compresses every package whose .uz is missing or older, several at
             once. Each .uz is written to a temporary file and renamed into
             place, so a run cut short leaves every .uz old or new; the next
             run removes its temporary files. A package that fails is reported
             and the others go on.
  upload     uploads every .uz of uz/ that the server folder lacks or holds
             with another size, over one connection. Each file goes to a
             temporary name and is renamed when complete; where the server will
             not rename onto an existing file, the old one is deleted first,
             and the output says so. Temporary names left by an upload cut
             short are removed. Names are compared exactly: clients ask for a
             package's exact name, so a copy in another letter case is reported
             and the exact name uploaded beside it.
  sync       compress, then upload.

Options:
  --game DIR            the game folder (default: the one the settings file
                        names)
  --config FILE         the settings file (default: the one the varnox
                        windows use: config.txt beside the program when its
                        folder can be written and is not under /usr, else
                        ~/.config/varnox/config.txt); it gives the game
                        folder, server, user and password
  --server HOST[:PORT]  the FTP server; ftpes://HOST asks for TLS on the FTP
                        port, ftps://HOST speaks TLS from the start (port 990)
  --user NAME           the user to log in as
  --password-file FILE  read the password from the first line of FILE; a
                        password is never given on the command line. The
                        variable VARNOX_FTP_PASSWORD gives one as well
  --remote PATH         the server folder to upload into (default: the login
                        folder)
  --passive, --active   passive (default) or active FTP data connections
  --system              also System/*.u packages
  --jobs N, -j N        packages compressed at once (default: the number of
                        cores)
  --dry-run             say what would be done; no file is written, nothing on
                        the server changes (the server is still listed)
  --quiet               print failures only
  --json                one JSON object per line, for scripts
  --help, -h            this description
  --version             the version

On a terminal, long steps show a progress line with bytes, rate and time left.
A TLS certificate that does not verify must be trusted once in the FTP window
of varnox (kept in trusted_servers.txt beside the settings file); otherwise the
connection fails.

Exit status: 0 when everything succeeded, 1 when any item failed or the
settings or the server did, 2 for a usage error.
)";
}

}  // namespace varnox::redirect
