#include "tests/support/ftp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace varnox::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
constexpr std::chrono::seconds kStartLimit{30};

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x80) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string configJson(const FtpServerOptions& options, const std::filesystem::path& listing) {
    std::string json = "{\"accounts\": [";
    for (std::size_t i = 0; i < options.accounts.size(); ++i) {
        const FtpAccount& a = options.accounts[i];
        json += i == 0 ? "{" : ", {";
        json += "\"name\": " + jsonString(a.name);
        json += ", \"password\": " + jsonString(a.password);
        json += ", \"home\": " + jsonString(std::filesystem::absolute(a.home).string());
        json += ", \"perm\": " + jsonString(a.permissions) + "}";
    }
    json += "]";
    if (options.cannedListing) {
        json += ", \"canned_listing\": " + jsonString(listing.string());
    }
    if (options.loginRefusal) {
        json += ", \"login_refusal\": " + jsonString(*options.loginRefusal);
    }
    json += ", \"throttle\": " + std::to_string(options.throttleBytesPerSecond);
    json += ", \"idle_timeout\": " + std::to_string(options.idleTimeoutSeconds);
    json += ", \"port\": " + std::to_string(options.port);
    json += options.truncateDownloads ? ", \"truncate\": true" : "";
    json += options.refuseRenameOverFile ? ", \"no_rename_over\": true" : "";
    json += options.explicitTls ? ", \"tls\": \"explicit\"" : "";
    if (options.commandLog) {
        json += ", \"command_log\": " + jsonString(options.commandLog->string());
    }
    return json + "}\n";
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::filesystem::path makeWorkDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "varnox-ftpd-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    return pattern;
}

// Reads one line from fd, giving up at the deadline or when the writer goes away.
std::string readLine(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string line;
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw std::runtime_error("the FTP server did not report its port in time");
        }
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            continue;
        }
        char c = 0;
        ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            throw std::runtime_error("the FTP server ended before it listened");
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

// A TCP socket bound to 127.0.0.1 and a port the system chose.
int boundSocket(std::uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "socket");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "bind 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

std::filesystem::path ftpServerScript() {
    return std::filesystem::path(VARNOX_SOURCE_DIR) / "tests" / "support" / "ftp_server.py";
}

FtpServer::FtpServer(FtpServerOptions options) {
    workDir_ = makeWorkDir();
    try {
        start(options);
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(workDir_, ignored);
        throw;
    }
}

namespace {

FtpServerOptions oneAccount(const std::string& user, const std::string& password,
                            const std::filesystem::path& home) {
    FtpAccount account;
    account.name = user;
    account.password = password;
    account.home = home;
    FtpServerOptions options;
    options.accounts.push_back(account);
    return options;
}

}  // namespace

FtpServer::FtpServer(const std::string& user, const std::string& password,
                     const std::filesystem::path& home)
    : FtpServer(oneAccount(user, password, home)) {}

void FtpServer::start(const FtpServerOptions& options) {
    std::filesystem::path config = workDir_ / "config.json";
    std::filesystem::path listing = workDir_ / "listing.bin";
    if (options.cannedListing) {
        writeBytes(listing, *options.cannedListing);
    }
    writeBytes(config, configJson(options, listing));

    int toServer[2];
    int fromServer[2];
    if (::pipe2(toServer, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    if (::pipe2(fromServer, O_CLOEXEC) != 0) {
        int error = errno;
        ::close(toServer[0]);
        ::close(toServer[1]);
        throw std::system_error(error, std::generic_category(), "pipe");
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], STDOUT_FILENO);
    std::string script = ftpServerScript().string();
    std::string configText = config.string();
    std::string program = kPython;
    char* argv[] = {program.data(), script.data(), configText.data(), nullptr};
    int spawned = ::posix_spawn(&pid_, kPython, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toServer[0]);
    ::close(fromServer[1]);
    if (spawned != 0) {
        ::close(toServer[1]);
        ::close(fromServer[0]);
        pid_ = -1;
        throw std::system_error(spawned, std::generic_category(), "cannot start " + program);
    }
    stdinFd_ = toServer[1];

    try {
        std::string line = readLine(fromServer[0], std::chrono::steady_clock::now() + kStartLimit);
        int port = std::stoi(line);
        if (port <= 0 || port > 65535) {
            throw std::runtime_error("the FTP server reported port " + line);
        }
        port_ = static_cast<std::uint16_t>(port);
    } catch (...) {
        ::close(fromServer[0]);
        ::close(stdinFd_);
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        throw;
    }
    ::close(fromServer[0]);
}

FtpServer::~FtpServer() {
    if (pid_ > 0) {
        ::close(stdinFd_);
        ::kill(pid_, SIGCONT);
        ::kill(pid_, SIGTERM);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(workDir_, ignored);
}

void FtpServer::stopAnswering() {
    ::kill(pid_, SIGSTOP);
}

std::string FtpServer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

SilentServer::SilentServer() {
    fd_ = boundSocket(port_);
    if (::listen(fd_, 16) != 0) {
        int error = errno;
        ::close(fd_);
        throw std::system_error(error, std::generic_category(), "listen");
    }
}

SilentServer::~SilentServer() {
    ::close(fd_);
}

ClosedPort::ClosedPort() {
    fd_ = boundSocket(port_);
}

ClosedPort::~ClosedPort() {
    ::close(fd_);
}

}  // namespace varnox::test
