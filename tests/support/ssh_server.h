#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace varnox::test {

struct SshServerOptions {
    std::uint16_t port = 0;  // 0: any free one
    // One host key of each type (ssh-keygen's names), made anew on every start.
    std::vector<std::string> hostKeyTypes = {"ed25519"};
    // The SFTP data passed on at most at this rate each way (0: full speed).
    std::size_t throttleBytesPerSecond = 0;
};

// A real OpenSSH server (Debian's /usr/sbin/sshd) on 127.0.0.1, run as the user running the
// test, who is the only user it lets in, with a key made for the purpose (for root too: a key
// is the only login it takes). The constructor returns once the server listens and throws
// std::runtime_error when it cannot start; the destructor ends it, and so does the end of the
// test program.
class SshServer {
public:
    explicit SshServer(const SshServerOptions& options = {});
    ~SshServer();

    std::uint16_t port() const { return port_; }
    // "sftp://127.0.0.1:PORT" and the path, as a user types it.
    std::string address(const std::string& path = "") const {
        return "sftp://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The private key that the server lets in (OpenSSH's format, no passphrase).
    std::filesystem::path userKey() const { return dir_ / "user_key"; }
    // The known_hosts lines of the host keys, and the fingerprint of the first, as ssh-keygen
    // prints it ("SHA256:...").
    std::string knownHostsLines() const;
    std::string fingerprint() const;

private:
    TempDir dir_;
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::vector<std::string> hostKeyTypes_;
};

// While alive, HOME is a temporary folder (so ~/.ssh is one); SSH_AUTH_SOCK is removed for
// good, so that no test reaches the user's ssh-agent.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();

    std::filesystem::path operator/(const std::filesystem::path& child) const {
        return dir_ / child;
    }
    std::filesystem::path knownHosts() const { return dir_ / ".ssh/known_hosts"; }

private:
    TempDir dir_;
    std::string saved_;
};

// Runs a program (no shell) and returns what it printed; throws std::runtime_error when it
// does not end with status 0.
std::string runProgram(const std::vector<std::string>& args);
// Makes a key without a passphrase, with its ".pub" beside it, as ssh-keygen makes them.
void makeKey(const std::filesystem::path& file, const std::string& type = "ed25519");

}  // namespace varnox::test
