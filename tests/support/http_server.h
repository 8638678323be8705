#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace varnox::test {

// A real HTTP server (Debian's lighttpd) on 127.0.0.1 and a free port, serving `root`, as the
// user running the test. `config` is added to its configuration as it stands: lighttpd lines
// such as a url.redirect; mod_redirect and mod_cgi are loaded, and answers stream as they are
// made, nothing buffered to disk. Requests may be sent as soon as the constructor returns
// (they wait for the server); a server that cannot start refuses them and says why on
// standard error. The destructor ends it, and so does the end of the test program.
class HttpServer {
public:
    explicit HttpServer(const std::filesystem::path& root, const std::string& config = {});
    ~HttpServer();

    // "http://127.0.0.1:PORT/"
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int hold_ = -1;  // the server is ended when this closes
    std::uint16_t port_ = 0;
};

}  // namespace varnox::test
