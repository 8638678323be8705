#include "tests/support/ssh_server.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/programs.h"

namespace varnox::test {
namespace {

// sshd with a watcher beside it that ends it once the test program ($3) has ended.
constexpr char kStart[] =
    "(while kill -0 \"$3\" && kill -0 $$; do sleep 1; done; kill $$) 2>/dev/null & "
    "exec /usr/sbin/sshd -D -E \"$1\" -f \"$2\"";

}  // namespace

std::string runProgram(const std::vector<std::string>& args) {
    TempDir output;
    const ProgramEnd end = waitForProgram(
        startProgram(args.front(), {args.begin() + 1, args.end()}, {}, output.path()),
        output.path());
    if (end.exitCode != 0) {
        throw std::runtime_error(args.front() + " failed: " + end.err);
    }
    return end.out;
}

void makeKey(const std::filesystem::path& file, const std::string& type) {
    runProgram({"/usr/bin/ssh-keygen", "-q", "-t", type, "-N", "", "-f", file.string()});
}

TemporaryHome::TemporaryHome() {
    if (const char* home = std::getenv("HOME")) {
        saved_ = home;
    }
    ::setenv("HOME", dir_.str().c_str(), 1);
    ::unsetenv("SSH_AUTH_SOCK");  // for good: no test reaches the user's agent
}

TemporaryHome::~TemporaryHome() {
    ::setenv("HOME", saved_.c_str(), 1);
}

SshServer::SshServer(const SshServerOptions& options) : hostKeyTypes_(options.hostKeyTypes) {
    const passwd* user = ::getpwuid(::geteuid());
    ::mkdir("/run/sshd", 0755);  // where sshd run by root puts its unprivileged part
    std::string config =
        "ListenAddress 127.0.0.1\nPidFile none\nUsePAM no\nStrictModes no\n"
        "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
        "PermitRootLogin prohibit-password\nMaxStartups 100\nAuthorizedKeysFile " +
        (dir_ / "authorized_keys").string() + "\nAllowUsers " + (user ? user->pw_name : "") +
        "\nSubsystem sftp ";
    config += options.throttleBytesPerSecond == 0
                  ? "internal-sftp\n"
                  : "/usr/bin/python3 " + sourcePath("tests/support/sftp_throttle.py").string() +
                        " " + std::to_string(options.throttleBytesPerSecond) +
                        " /usr/lib/openssh/sftp-server\n";
    for (const std::string& type : hostKeyTypes_) {
        makeKey(dir_ / ("host_" + type), type);
        config += "HostKey " + (dir_ / ("host_" + type)).string() + "\n";
    }
    makeKey(userKey());
    writeFile(dir_ / "authorized_keys", readFile(userKey().string() + ".pub"));
    // A port found free may be taken before sshd binds it: sshd then ends, and another is tried.
    for (int attempt = 0; pid_ < 0 && attempt < 5; ++attempt) {
        port_ = options.port != 0 ? options.port : LocalPort(false).port();
        writeFile(dir_ / "sshd_config", config + "Port " + std::to_string(port_) + "\n");
        writeFile(dir_ / "sshd.log", "");
        const pid_t pid =
            startProgram("/bin/sh", {"-c", kStart, "sh", dir_ / "sshd.log", dir_ / "sshd_config",
                                     std::to_string(::getpid())});
        bool ended = false;
        const bool listening =
            eventually([&] {
                ended = ended || ::waitpid(pid, nullptr, WNOHANG) == pid;
                return ended ||
                       readFile(dir_ / "sshd.log").find("Server listening") != std::string::npos;
            }) &&
            !ended;
        if (listening) {
            pid_ = pid;
        } else if (!ended) {
            ::kill(pid, SIGTERM);
            waitForProgram(pid);
        }
    }
    if (pid_ < 0) {
        throw std::runtime_error("the test SSH server did not start: " +
                                 readFile(dir_ / "sshd.log"));
    }
}

SshServer::~SshServer() {
    ::kill(pid_, SIGTERM);
    waitForProgram(pid_);
}

std::string SshServer::knownHostsLines() const {
    std::string lines;
    for (const std::string& type : hostKeyTypes_) {
        lines += "[127.0.0.1]:" + std::to_string(port_) + " " +
                 readFile(dir_ / ("host_" + type + ".pub"));
    }
    return lines;
}

std::string SshServer::fingerprint() const {
    const std::string printed =
        runProgram({"/usr/bin/ssh-keygen", "-l", "-f",
                    (dir_ / ("host_" + hostKeyTypes_.front() + ".pub")).string()});
    const std::size_t start = printed.find("SHA256:");
    return printed.substr(start, printed.find(' ', start) - start);
}

}  // namespace varnox::test
