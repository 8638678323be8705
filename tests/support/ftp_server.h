#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace varnox::test {

// One login of the test server, with every permission over home.
struct FtpAccount {
    std::string name;
    std::string password;
    std::filesystem::path home;
};

struct FtpServerOptions {
    std::vector<FtpAccount> accounts{};
    // Bytes every LIST sends, whatever the folder.
    std::optional<std::string> cannedListing{};
    // The text of the 530 reply to a wrong password; "\n" in it makes a multi-line reply.
    std::optional<std::string> loginRefusal{};
    std::size_t throttleBytesPerSecond = 0;  // on every data connection; 0: full speed
    int idleTimeoutSeconds = 0;              // before an idle control connection gets "421"; 0: 300
    bool truncateDownloads = false;          // every download sends half the file, then ends
    bool refuseRenameOverFile = false;       // a rename onto an existing file is refused
    // AUTH TLS required, with a new self-signed certificate for 127.0.0.1 on every start;
    // TLS 1.3 only, if so asked.
    bool explicitTls = false;
    bool tls13Only = false;
    std::uint16_t port = 0;  // 0: any free one
    // A file that gets the name of every command the server receives, one a line, and "421"
    // when the server closes an idle control connection.
    std::optional<std::filesystem::path> commandLog{};
    // A file that gets the server's certificate, to stand in for a trust store.
    std::optional<std::filesystem::path> certificateFile{};
    // The common name of that certificate's subject and issuer (UTF-8).
    std::optional<std::string> certificateName{};
    // Debian's vsftpd in place of pyftpdlib (tests/support/ftp_server.py says how it is set
    // up): anonymous logins over the first account's home, AUTH TLS required, vsftpd's own
    // TLS settings otherwise; commandLog gets its log, with a line "OK LOGIN" per login.
    bool vsftpd = false;
};

// A real FTP server (tests/support/ftp_server.py, pyftpdlib or vsftpd run by /usr/bin/python3)
// on 127.0.0.1. The constructor returns once the server listens and throws std::runtime_error
// when it cannot start; the destructor ends it.
class FtpServer {
public:
    explicit FtpServer(const FtpServerOptions& options);
    ~FtpServer() { stop(); }

    std::uint16_t port() const { return port_; }
    // "127.0.0.1:port", the form a user types into a server name box.
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Freezes the server: connections stay open, nothing is answered any more, until
    // resumeAnswering().
    void stopAnswering() { ::kill(pid_, SIGSTOP); }
    void resumeAnswering() { ::kill(pid_, SIGCONT); }

private:
    void stop();

    TempDir dir_;
    pid_t pid_ = -1;
    int input_ = -1;  // the server ends when this closes, also when the test program dies
    std::uint16_t port_ = 0;
};

// A TCP port on 127.0.0.1, bound for as long as the object lives. A listening one completes
// connections and never sends a byte, standing in for a server that hangs (or hands its socket
// to a server it starts); any other refuses connections.
class LocalPort {
public:
    explicit LocalPort(bool listening);
    ~LocalPort();
    LocalPort(const LocalPort&) = delete;
    LocalPort& operator=(const LocalPort&) = delete;

    std::uint16_t port() const { return port_; }
    int socket() const { return fd_; }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace varnox::test
