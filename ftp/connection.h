#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/address.h"
#include "ftp/listing.h"
#include "ftp/reply_log.h"
#include "ftp/request_commands.h"
#include "ftp/stall_watch.h"
#include "ftp/tls.h"
#include "ftp/transfer_ends.h"
#include "ftp/transport.h"

typedef void CURLM;

namespace varnox::ftp {
class UploadSource;
}  // namespace varnox::ftp

namespace varnox::ftp {

// The start of the name an upload gives its file in the target folder until it is complete.
constexpr char kUploadPrefix[] = ".varnox-upload-";

// When the transport gives up with kTimeout: when connecting (reaching the server, TLS, its
// greeting and the login; in active mode also the server's data connection to us) takes
// longer than `connect`, and when a call has stalled: once it has run for `window`, the last
// `window` of it moved fewer than window × bytesPerSecond bytes (StallWatch), so neither a
// silent server nor a trickle can hold a call.
struct Timeouts {
    std::chrono::milliseconds connect{20000};
    std::chrono::milliseconds window{60000};
    std::size_t bytesPerSecond = 1024;
};

enum class TransferType { kAscii, kBinary };

// Where and how a connection logs in.
struct ConnectionSettings {
    std::string host;  // name or address to connect to (the gateway's, through one)
    std::uint16_t port = 21;
    Security security = Security::kNone;
    std::string user;  // empty for an anonymous login
    std::string password;
    bool passive = true;  // EPSV/PASV; otherwise EPRT/PORT
    Timeouts timeouts;
    settings::TrustedServers* trusted = nullptr;  // certificates trusted by hand, for TLS
    TrustQuestion askToTrust;                     // for a certificate that does not pass
};

// How far the running call has come, for another thread to show.
struct Progress {
    std::atomic<std::uint64_t> done{0};
    std::atomic<std::uint64_t> total{0};  // 0 while unknown
    std::atomic<std::size_t> entries{0};  // entries of a listing read so far
};

// One FTP control connection over one libcurl easy handle: libcurl keeps the control
// connection between requests, and logs in again by itself when the server has closed it.
// Every request names its remote folder in full, so nothing depends on where the server's
// idea of the current folder stands. Each method returns 0 or an error number of
// ftp/errors.h, and throws nothing but std::bad_alloc. One call at a time; cancel() and
// progress() may be used from any thread.
//
// TLS goes up to version 1.2, and to 1.3 only with a server that refuses 1.2: every data
// connection then resumes the control connection's TLS session, which servers such as vsftpd
// require (its require_ssl_reuse), while TLS 1.3 gives each resumption a ticket of its own
// that libcurl 7.88 may read too late or never, so that such servers refuse the data
// connection or cut an upload short.
class Connection : public Transport {
public:
    explicit Connection(ConnectionSettings settings);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects and logs in; afterwards the current directory is the login directory.
    std::uint32_t open() override;
    // Changes the current directory, after the server accepted a CWD to it.
    std::uint32_t changeDirectory(std::string_view directory) override;
    // Lists the current directory, within the bounds of a ListingReader.
    std::uint32_t list(Listing& listing) override;
    // Downloads `remoteName` of the current directory into `localPath`, replaced only by a
    // complete file. A binary download shorter than the size the server gives has failed.
    std::uint32_t download(std::string_view remoteName, const std::filesystem::path& localPath,
                           TransferType type) override;
    // Uploads `localPath` under a temporary name beside `remoteName` and renames it onto
    // `remoteName` when complete; where the server refuses to rename onto an existing file,
    // that file is deleted first, which `deletedFirst` (when given) is told. A failed upload
    // removes its temporary file again. An upload that the server cut short or refused a data
    // connection for (a reply 421, 425, 426 or 522, or a dropped connection) is tried once
    // more, on a new connection when the old one is gone, after its temporary file is removed.
    std::uint32_t upload(const std::filesystem::path& localPath, std::string_view remoteName,
                         TransferType type, bool* deletedFirst = nullptr) override;
    // Deletes `remoteName` of the current directory.
    std::uint32_t remove(std::string_view remoteName) override;

    // Ends the running call with kOperationCancelled.
    void cancel() override { cancelled_ = true; }
    Progress& progress() override { return progress_; }

    const ReplyLog& replies() const override { return replies_; }
    // For a call that failed on this side: what went wrong, naming the file (the file of
    // trusted certificates, say); empty otherwise.
    const std::string& detail() const override { return detail_; }
    const std::string& currentDirectory() const override { return directory_; }

private:
    // One call to libcurl: what it reads or writes, and the commands around it.
    struct Request : TransferEnds {
        bool noBody = false;
        bool ascii = false;
        // Commands sent before the request (a request without a body says NOOP first, below)
        // and after it.
        std::vector<std::string> before;
        std::vector<std::string> after;
    };
    // Starts a call: not cancelled, nothing moved yet, no detail.
    void begin();
    std::uint32_t perform(const std::string& urlPath, Request& request);
    std::uint32_t uploadOnce(UploadSource& source, const std::string& final, TransferType type,
                             bool* deletedFirst);
    // Deletes a file, briefly after a cancel or a time-out so that a server gone quiet
    // cannot hold the caller; the caller keeps the replies of the failure it reports.
    void removeAfterFailure(const std::string& path, bool brief);
    // Whether a failed upload was cut short by the server or its data connection refused,
    // judged by its result and the replies after the first `repliesBefore`.
    bool wasCut(std::uint32_t result, std::uint64_t repliesBefore) const;
    bool stalled();
    std::uint32_t commands(const std::vector<std::string>& lines);
    // Asks for a remote file's size; `size` stays empty when the server gives none.
    std::uint32_t remoteSize(const std::string& path, std::optional<std::uint64_t>& size);
    int run();
    std::string url(const std::string& urlPath) const;

    friend struct CurlCallbacks;

    ConnectionSettings settings_;
    CURLM* multi_ = nullptr;  // holds the control connection between requests
    CURL* curl_ = nullptr;
    RequestCommands commands_;
    std::unique_ptr<TlsCheck> tls_;
    std::string directory_;
    ReplyLog replies_;
    Progress progress_;
    std::atomic<bool> cancelled_{false};
    StallWatch stall_;
    bool stalledNow_ = false;  // the running request ended for a stall
    int curlResult_ = 0;       // libcurl's result of the last request
    bool tls13_ = false;       // the server refused TLS 1.2
    std::string detail_;
};

}  // namespace varnox::ftp
