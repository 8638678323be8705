#include "tests/support/http_server.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/files.h"
#include "tests/support/ftp_server.h"

extern char** environ;

namespace varnox::test {
namespace {

// The server takes its listening socket as fd 3, the way socket activation hands it over: it
// is listening before the server starts, and the port is chosen without a race. A watcher
// beside the server ends it once fd 4 reaches its end, when the fixture closes the other end
// or the test program dies. The server writes its errors to the test's standard error.
constexpr char kStart[] =
    "(exec 3<&-; read _ <&4; kill $$) & exec 4<&- </dev/null; "
    "LISTEN_FDS=1 LISTEN_PID=$$ exec /usr/sbin/lighttpd -D -f \"$1\"";

}  // namespace

HttpServer::HttpServer(const std::filesystem::path& root, const std::string& config) {
    writeFile(dir_ / "lighttpd.conf",
              "server.document-root = \"" + std::filesystem::absolute(root).string() +
                  "\"\nserver.upload-dirs = (\"" + dir_.str() +
                  "\")\nserver.systemd-socket-activation = \"enable\"\n"
                  "server.stream-response-body = 2\nserver.max-keep-alive-idle = 300\n"
                  "server.modules += (\"mod_redirect\", \"mod_cgi\")\n" +
                  config + "\n");
    const LocalPort listening(true);
    int hold[2] = {-1, -1};
    if (::pipe2(hold, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe for the test HTTP server");
    }
    port_ = listening.port();
    hold_ = hold[1];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, listening.socket(), 3);
    posix_spawn_file_actions_adddup2(&actions, hold[0], 4);
    std::string shell = "/bin/sh", c = "-c", script = kStart,
                file = (dir_ / "lighttpd.conf").string();
    char* argv[] = {shell.data(), c.data(), script.data(), shell.data(), file.data(), nullptr};
    const int spawned = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(hold[0]);
    if (spawned != 0) {
        ::close(hold_);
        throw std::runtime_error("cannot start /bin/sh for the test HTTP server");
    }
}

HttpServer::~HttpServer() {
    ::close(hold_);  // the watcher ends the server
    ::waitpid(pid_, nullptr, 0);
}

}  // namespace varnox::test
