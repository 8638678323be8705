#include "tests/support/ftp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "tests/support/files.h"

extern char** environ;

namespace varnox::test {
namespace {

// A JSON string whose characters are the bytes of text, as the script reads its texts.
std::string json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += c < 0x20 || c >= 0x80 || c == '"' || c == '\\' ? escaped : std::string(1, c);
    }
    return out + "\"";
}

// Every key is written; a value left out is null.
std::string configJson(const FtpServerOptions& o, const std::string& listing) {
    auto text = [](const auto& value) { return value ? json(std::string(*value)) : "null"; };
    std::string accounts;
    for (const FtpAccount& a : o.accounts) {
        accounts += (accounts.empty() ? "{\"name\": " : ", {\"name\": ") + json(a.name) +
                    ", \"password\": " + json(a.password) +
                    ", \"home\": " + json(std::filesystem::absolute(a.home).string()) + "}";
    }
    return "{\"accounts\": [" + accounts + "], \"port\": " + std::to_string(o.port) +
           ", \"throttle\": " + std::to_string(o.throttleBytesPerSecond) +
           ", \"idle_timeout\": " + std::to_string(o.idleTimeoutSeconds) +
           ", \"truncate\": " + (o.truncateDownloads ? "true" : "false") +
           ", \"no_rename_over\": " + (o.refuseRenameOverFile ? "true" : "false") + ", \"tls\": " +
           (o.explicitTls ? (o.tls13Only ? "\"explicit-1.3\"" : "\"explicit\"") : "null") +
           ", \"canned_listing\": " + (o.cannedListing ? json(listing) : "null") +
           ", \"login_refusal\": " + text(o.loginRefusal) +
           ", \"command_log\": " + text(o.commandLog) +
           ", \"certificate_file\": " + text(o.certificateFile) +
           ", \"certificate_name\": " + text(o.certificateName) +
           ", \"server\": " + (o.vsftpd ? "\"vsftpd\"" : "null") + "}\n";
}

}  // namespace

FtpServer::FtpServer(const FtpServerOptions& options) {
    if (options.cannedListing) {
        writeFile(dir_ / "listing", *options.cannedListing);
    }
    writeFile(dir_ / "config.json", configJson(options, (dir_ / "listing").string()));
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) {
        throw std::runtime_error("no pipe for the test FTP server");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawnattr_t group;  // a process group of its own, which stop() ends whole
    posix_spawnattr_init(&group);
    posix_spawnattr_setflags(&group, POSIX_SPAWN_SETPGROUP);
    std::string script = sourcePath("tests/support/ftp_server.py"), python = "/usr/bin/python3",
                config = (dir_ / "config.json").string();
    char* argv[] = {python.data(), script.data(), config.data(), nullptr};
    if (::posix_spawn(&pid_, argv[0], &actions, &group, argv, environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&group);
    ::close(input[0]);
    ::close(output[1]);
    input_ = input[1];
    // Once it listens, the server prints its port; one that cannot start ends without it.
    FILE* out = ::fdopen(output[0], "r");
    int port = 0;
    const bool listening = pid_ > 0 && std::fscanf(out, "%d", &port) == 1;
    std::fclose(out);
    if (!listening) {
        stop();
        throw std::runtime_error("the test FTP server did not start");
    }
    port_ = static_cast<std::uint16_t>(port);
}

void FtpServer::stop() {
    if (pid_ > 0) {
        ::kill(-pid_, SIGKILL);  // also one that stopAnswering() froze, and vsftpd's sessions
        ::waitpid(pid_, nullptr, 0);
    }
    ::close(input_);
}

LocalPort::LocalPort(bool listening) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listening && ::listen(fd_, 128) != 0)) {
        ::close(fd_);
        throw std::runtime_error("cannot bind a port on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
}

LocalPort::~LocalPort() {
    ::close(fd_);
}

}  // namespace varnox::test
