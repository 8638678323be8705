#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "ftp/reply_log.h"

typedef void CURL;
typedef void CURLM;
struct curl_slist;

namespace varnox::ftp {

// How long the transport waits before it gives up with kTimeout.
struct Timeouts {
    std::chrono::milliseconds connect{20000};  // to reach the server and log in
    std::chrono::milliseconds reply{30000};    // for any one server reply (whole seconds)
    std::chrono::milliseconds stall{30000};    // with no data moving in a transfer (seconds)
};

enum class TransferType { kAscii, kBinary };

// Where and how a connection logs in.
struct ConnectionSettings {
    std::string host;  // name or address to connect to (the gateway's, through one)
    std::uint16_t port = 21;
    std::string user;  // empty for an anonymous login
    std::string password;
    bool passive = true;  // EPSV/PASV; otherwise EPRT/PORT
    Timeouts timeouts;
};

// One logged-in FTP control connection over one libcurl easy handle, so libcurl reuses the
// control connection for every request (and logs in again by itself if the server dropped
// it). Each method returns 0 or an error number of ftp/errors.h. One call at a time: the
// caller holds busy() around each call. cancel() may come from any thread.
class Connection {
public:
    explicit Connection(ConnectionSettings settings);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects and logs in; afterwards the current directory is the login directory.
    std::uint32_t open();
    // Changes the current directory, after the server accepted a CWD to it.
    std::uint32_t changeDirectory(std::string_view directory);
    // The raw LIST reply for the current directory.
    std::uint32_t list(std::string& text);
    std::uint32_t download(std::string_view remoteName, const std::filesystem::path& localPath,
                           bool failIfExists, TransferType type);
    std::uint32_t upload(const std::filesystem::path& localPath, std::string_view remoteName,
                         TransferType type);

    // Makes the running call (if any) and every later one end with kOperationCancelled.
    void cancel() { cancelled_ = true; }

    std::mutex& busy() { return busy_; }
    // How many requests went to libcurl so far, to tell whether a call reached the server.
    std::uint64_t requests() const { return requests_; }
    const ReplyLog& replies() const { return replies_; }
    const std::string& currentDirectory() const { return directory_; }

private:
    struct Request;
    std::uint32_t perform(const std::string& urlPath, Request& request);
    int run();
    std::string url(const std::string& urlPath) const;

    friend struct CurlCallbacks;

    ConnectionSettings settings_;
    CURLM* multi_ = nullptr;  // holds the control connection between requests
    CURL* curl_ = nullptr;
    struct curl_slist* probeCommands_ = nullptr;  // what a request without a body says
    std::string directory_;
    ReplyLog replies_;
    std::uint64_t requests_ = 0;
    std::atomic<bool> cancelled_{false};
    std::mutex busy_;
};

}  // namespace varnox::ftp
