#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace varnox::test {

// One login of the test server.
struct FtpAccount {
    std::string name;
    std::string password;
    std::filesystem::path home;
    // pyftpdlib permission letters; the default allows everything.
    std::string permissions = "elradfmwMT";
};

struct FtpServerOptions {
    std::vector<FtpAccount> accounts;
    // When set, every LIST sends exactly these bytes, whatever the folder.
    std::optional<std::string> cannedListing;
    // When set, a wrong password gets "530 " and this text; "\n" in it makes a
    // multi-line reply ("530-first", ..., "530 last").
    std::optional<std::string> loginRefusal;
    // Bytes per second on every data connection; 0 for full speed.
    std::size_t throttleBytesPerSecond = 0;
    // Seconds a control connection may stay idle before the server closes it with "421";
    // 0 for the server's default (300).
    int idleTimeoutSeconds = 0;
    // Every download sends half the file and then says it is done.
    bool truncateDownloads = false;
    // A rename onto an existing file is refused.
    bool refuseRenameOverFile = false;
    // AUTH TLS required on control and data connections, with a new self-signed certificate
    // for 127.0.0.1 on every start.
    bool explicitTls = false;
    // The port to listen on; 0 for any free one.
    std::uint16_t port = 0;
    // A file that gets the name of every command the server receives, one a line.
    std::optional<std::filesystem::path> commandLog;
};

// A real FTP server (pyftpdlib run by /usr/bin/python3) on 127.0.0.1 and a free port.
// The constructor returns once the server listens; the destructor stops it. Throws
// std::runtime_error when the server cannot be started.
class FtpServer {
public:
    explicit FtpServer(FtpServerOptions options);
    // One account with every permission over home.
    FtpServer(const std::string& user, const std::string& password,
              const std::filesystem::path& home);
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "127.0.0.1:port", the form a user types into a server name box.
    std::string address() const;
    // Freezes the server: connections stay open, nothing is answered any more.
    void stopAnswering();

private:
    void start(const FtpServerOptions& options);

    std::filesystem::path workDir_;
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    std::uint16_t port_ = 0;
};

// A TCP listener on 127.0.0.1 that completes connections and never sends a byte, standing
// in for a server that hangs.
class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A port on 127.0.0.1 that refuses connections: it stays bound (so nothing else takes it)
// but never listens, for as long as the object lives.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    std::uint16_t port() const { return port_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// The path of the server script, for programs that start the server themselves.
std::filesystem::path ftpServerScript();

}  // namespace varnox::test
