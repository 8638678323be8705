#include "ftp/connection.h"

#include <curl/curl.h>

#include <algorithm>

#include "ftp/curl_errors.h"
#include "ftp/curl_handle.h"
#include "ftp/errors.h"
#include "ftp/local_file.h"
#include "ftp/names.h"
#include "ftp/remote_path.h"

namespace varnox::ftp {
namespace {

constexpr long kBufferBytes = 512 * 1024;
// Closing a connection says QUIT; a server that does not answer must not hold the caller.
constexpr long kQuitReplySeconds = 2;
// The longest a request sleeps before it looks at libcurl and at cancel() again.
constexpr long kPollMilliseconds = 5;

// libcurl's time-out for a reply: later than the stall rule can end the wait.
long replyBackstop(const Timeouts& timeouts) {
    return static_cast<long>(std::max<std::int64_t>(timeouts.window.count(), 1) / 1000 + 5);
}

}  // namespace

// libcurl's callbacks, with the exact signatures it calls. None of them lets an exception
// out into libcurl: a failure becomes the request's error.
struct CurlCallbacks {
    static int debug(CURL*, curl_infotype type, char* data, std::size_t size, void* self) noexcept {
        if (type == CURLINFO_HEADER_IN) {
            auto* connection = static_cast<Connection*>(self);
            connection->stall_.moved(size);
            try {
                connection->replies_.feed(std::string_view(data, size));
            } catch (...) {
                // Out of memory for a reply: the call goes on without its text.
            }
        }
        return 0;
    }

    static std::size_t write(char* data, std::size_t size, std::size_t count,
                             void* pointer) noexcept {
        auto& [connection, request] =
            *static_cast<std::pair<Connection*, Connection::Request*>*>(pointer);
        connection->stall_.moved(size * count);
        return request->receive(data, size * count, connection->progress_);
    }

    // Also called, about once a second, while libcurl waits, blocking, for the server's last
    // reply to a transfer: a cancel or a stall ends that wait too.
    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept {
        auto* connection = static_cast<Connection*>(self);
        return connection->cancelled_ || connection->stalled() ? 1 : 0;
    }

    static std::size_t read(char* data, std::size_t size, std::size_t count,
                            void* pointer) noexcept {
        auto& [connection, request] =
            *static_cast<std::pair<Connection*, Connection::Request*>*>(pointer);
        const std::size_t got = request->send(data, size * count, connection->progress_);
        if (got != CURL_READFUNC_ABORT) {
            connection->stall_.moved(got);
        }
        return got;
    }
};

Connection::Connection(ConnectionSettings settings)
    : settings_(std::move(settings)),
      stall_(settings_.timeouts.window, settings_.timeouts.bytesPerSecond) {
    initialiseCurl();
    multi_ = curl_multi_init();
    curl_ = curl_easy_init();
    if (multi_ == nullptr || curl_ == nullptr) {
        return;
    }
    const Timeouts& t = settings_.timeouts;
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "ftp,ftps");
    // The debug callback sees every reply line; VERBOSE is what makes libcurl call it.
    curl_easy_setopt(curl_, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl_, CURLOPT_DEBUGFUNCTION, &CurlCallbacks::debug);
    curl_easy_setopt(curl_, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &CurlCallbacks::progress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
    if (!settings_.user.empty()) {
        curl_easy_setopt(curl_, CURLOPT_USERNAME, settings_.user.c_str());
        curl_easy_setopt(curl_, CURLOPT_PASSWORD, settings_.password.c_str());
    }
    // One "CWD /full/path" per request; the paths we give are complete, and ".." in them
    // is the server's to resolve, not libcurl's to squash.
    curl_easy_setopt(curl_, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(curl_, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl_, CURLOPT_FTPPORT, settings_.passive ? nullptr : "-");
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.connect.count()));
    curl_easy_setopt(curl_, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(t.connect.count()));
    // Replies and transfers are held to the stall rule (run() and the progress callback);
    // libcurl's own reply time-out only stands behind it.
    curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT, replyBackstop(t));
    curl_easy_setopt(curl_, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, kBufferBytes);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD_BUFFERSIZE, kBufferBytes);
    if (settings_.security != Security::kNone) {
        // Certificates are checked by TlsCheck, on every handshake, data connections too.
        tls_ = std::make_unique<TlsCheck>(settings_.host,
                                          settings_.host + ":" + std::to_string(settings_.port),
                                          settings_.trusted, settings_.askToTrust);
        curl_easy_setopt(curl_, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        curl_easy_setopt(curl_, CURLOPT_SSLVERSION,
                         static_cast<long>(CURL_SSLVERSION_DEFAULT) |
                             static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
        curl_easy_setopt(curl_, CURLOPT_SSL_SESSIONID_CACHE, 1L);
        curl_easy_setopt(curl_, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
        curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(curl_, CURLOPT_SSL_CTX_DATA, tls_.get());
        if (curl_easy_setopt(curl_, CURLOPT_SSL_CTX_FUNCTION, &TlsCheck::installOn) != CURLE_OK) {
            // Without the check a certificate would go unchecked: no TLS at all then.
            curl_easy_cleanup(curl_);
            curl_ = nullptr;
        }
    }
}

Connection::~Connection() {
    if (curl_ != nullptr && multi_ != nullptr) {
        // The multi handle says QUIT when it closes the connection, with the reply timeout
        // it took from the last handle added; make that one short.
        curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT, kQuitReplySeconds);
        curl_multi_add_handle(multi_, curl_);
        curl_multi_remove_handle(multi_, curl_);
    }
    if (curl_ != nullptr) {
        curl_easy_cleanup(curl_);
    }
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
}

bool Connection::stalled() {
    stalledNow_ = stalledNow_ || stall_.stalled(StallWatch::Clock::now());
    return stalledNow_;
}

void Connection::begin() {
    cancelled_ = false;
    detail_.clear();
    stall_.start(StallWatch::Clock::now());
}

// Drives one request. curl_easy_perform would do, but libcurl 7.88 sometimes sits out its
// full one-second idle wait between the passive-mode reply and opening the data connection
// on a reused control connection; waking up every few milliseconds takes that stall away.
// The same loop notices cancel() at once.
int Connection::run() {
    return driveTransfer(multi_, curl_, kPollMilliseconds, [this] {
        return cancelled_  ? CURLE_ABORTED_BY_CALLBACK
               : stalled() ? CURLE_OPERATION_TIMEDOUT
                           : CURLE_OK;
    });
}

std::string Connection::url(const std::string& urlPath) const {
    const char* scheme = settings_.security == Security::kImplicitTls ? "ftps://" : "ftp://";
    return scheme + settings_.host + ":" + std::to_string(settings_.port) + "/" + urlPath;
}

std::uint32_t Connection::perform(const std::string& urlPath, Request& request) {
    if (curl_ == nullptr || multi_ == nullptr) {
        return error::kInternalError;
    }
    if (cancelled_) {
        return error::kOperationCancelled;
    }
    const std::string address = url(urlPath);
    std::pair<Connection*, Request*> callbackData{this, &request};
    curl_easy_setopt(curl_, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl_, CURLOPT_NOBODY, request.noBody ? 1L : 0L);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, request.upload != nullptr ? 1L : 0L);
    curl_easy_setopt(curl_, CURLOPT_TRANSFERTEXT, request.ascii ? 1L : 0L);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &CurlCallbacks::write);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &callbackData);
    curl_easy_setopt(curl_, CURLOPT_READFUNCTION, &CurlCallbacks::read);
    curl_easy_setopt(curl_, CURLOPT_READDATA, &callbackData);
    // A text upload changes size on the way, so libcurl must not hold it to the file's size.
    const bool sizeKnown = request.upload != nullptr && !request.ascii;
    curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE,
                     static_cast<curl_off_t>(sizeKnown ? request.upload->size() : -1));
    // A request without a body on the folder of the previous one sends no command of its
    // own on the reused control connection. libcurl (before 8.6) then reads whatever the
    // server sent meanwhile, such as the "421" of an idle timeout, through a pointer into
    // the previous request's freed receive buffer. A NOOP first makes every such request
    // speak before it listens: the reply reader starts on the current buffer, and a closed
    // connection shows up as a failed call.
    if (request.noBody && request.before.empty()) {
        request.before.push_back("NOOP");
    }
    commands_.set(curl_, request.before, request.after);
    const std::uint64_t repliesBefore = replies_.count();
    stalledNow_ = false;
    auto code = static_cast<CURLcode>(run());
    bool refused = tls_ && tls_->takeRefused();
    std::optional<LocalProblem> problem = tls_ ? tls_->takeProblem() : std::nullopt;
    // A server that refuses TLS 1.2 in the control connection's handshake (the last reply is
    // the one to AUTH TLS, or none came at all) is met once more with TLS 1.3 allowed.
    if (code == CURLE_SSL_CONNECT_ERROR && tls_ && !tls13_ && !cancelled_ && !refused && !problem &&
        (replies_.count() == repliesBefore || replies_.lastCode() == 234)) {
        tls13_ = true;
        curl_easy_setopt(curl_, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_DEFAULT));
        code = static_cast<CURLcode>(run());
        refused = tls_->takeRefused();
        problem = tls_->takeProblem();
    }
    curlResult_ = code;
    if (code == CURLE_OK || (request.listingCut && code == CURLE_WRITE_ERROR)) {
        return error::kSuccess;
    }
    if (request.localError != 0) {
        return request.localError;
    }
    if (cancelled_) {
        return error::kOperationCancelled;
    }
    if (stalledNow_) {
        return error::kTimeout;
    }
    if (problem) {
        detail_ = problem->text;
        return problem->error;
    }
    if (refused) {
        return error::kInvalidCa;
    }
    return errorFromCurl(code);
}

std::uint32_t Connection::open() {
    begin();
    Request request;
    request.noBody = true;
    const std::uint32_t result = perform("", request);
    if (result != error::kSuccess) {
        return result;
    }
    char* entry = nullptr;
    if (curl_easy_getinfo(curl_, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry != nullptr &&
        entry[0] == '/') {
        directory_ = entry;
    }
    return error::kSuccess;
}

std::uint32_t Connection::changeDirectory(std::string_view directory) {
    begin();
    if (directory.empty() || !isSendable(directory)) {
        return error::kInvalidParameter;
    }
    const std::string target = changedDirectory(directory_, directory);
    Request request;
    request.noBody = true;
    const std::uint32_t result = perform(directoryUrlPath(target), request);
    if (result == error::kSuccess) {
        directory_ = target;
    }
    return result;
}

std::uint32_t Connection::list(Listing& listing) {
    begin();
    progress_.done = 0;
    progress_.total = 0;
    progress_.entries = 0;
    ListingReader reader;
    Request request;
    request.listing = &reader;
    const std::uint32_t result = perform(directoryUrlPath(directory_), request);
    listing = reader.finish();
    return result;
}

std::uint32_t Connection::commands(const std::vector<std::string>& lines) {
    Request request;
    request.noBody = true;
    request.before = lines;
    return perform(directoryUrlPath(directory_), request);
}

void Connection::removeAfterFailure(const std::string& path, bool brief) {
    // No half file stays under the temporary name, also after a cancel.
    const bool wasCancelled = cancelled_.exchange(false);
    const std::string detail = detail_;
    stall_.start(StallWatch::Clock::now());
    const Timeouts& t = settings_.timeouts;
    if (brief) {
        curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, kQuitReplySeconds);
        curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT, kQuitReplySeconds);
    }
    commands({"DELE " + path});
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.connect.count()));
    curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT, replyBackstop(t));
    cancelled_ = wasCancelled;
    detail_ = detail;
}

}  // namespace varnox::ftp
