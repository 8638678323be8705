#include "ftp/sftp_connection.h"

#include <curl/curl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "ftp/curl_errors.h"
#include "ftp/errors.h"
#include "ftp/local_file.h"
#include "ftp/names.h"
#include "ftp/remote_path.h"
#include "platform/failure.h"
#include "platform/files.h"

namespace varnox::ftp {

namespace {

constexpr long kBufferBytes = 512 * 1024;
// The longest a request sleeps before it looks at libcurl and at cancel() again. libcurl's
// SFTP does not always name the socket it waits for, so a longer sleep is often slept out
// whole, several times a file: at 5 ms, 100 uploads of 1 MiB took 1.8 times as long.
constexpr long kPollMilliseconds = 1;
// Removing a temporary file after a cancel or a time-out may take this long, a new login
// included, so that a server gone quiet cannot hold the caller.
constexpr long kBriefMilliseconds = 5000;

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool usableRemoteName(std::string_view name) {
    return !name.empty() && isSendable(name) && name.back() != '/';
}

// A full path as a URL path: each name percent-encoded, "/" between them, and a "/" at the
// end of a folder, which libcurl then lists.
std::string urlPathOf(std::string_view path, bool folder) {
    std::string out;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        out += percentEncode(path.substr(0, slash));
        if (slash == std::string_view::npos) {
            break;
        }
        out += '/';
        path.remove_prefix(slash + 1);
    }
    if (folder && (out.empty() || out.back() != '/')) {
        out += '/';
    }
    return out.starts_with("/") ? out : "/" + out;
}

// A path as one argument of libcurl's SFTP commands: in double quotes, with "\" and '"'
// escaped, so that blanks and quotes stay part of the name.
std::string argument(std::string_view path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

curl_slist* commandList(const std::vector<std::string>& lines) {
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        list = curl_slist_append(list, line.c_str());
    }
    return list;
}

// The keys ssh offers when none is named, in its order.
std::vector<std::filesystem::path> defaultKeys() {
    std::vector<std::filesystem::path> keys;
    for (const char* name : {"id_rsa", "id_ecdsa", "id_ed25519"}) {
        const std::filesystem::path key = homeFolder() / ".ssh" / name;
        if (platform::ordinaryFileExists(key)) {
            keys.push_back(key);
        }
    }
    return keys;
}

}  // namespace

struct SftpConnection::Request {
    bool noBody = false;
    bool folder = false;  // the path is a folder, which is listed
    ListingReader* listing = nullptr;
    PendingDownload* download = nullptr;
    UploadSource* upload = nullptr;
    std::uint32_t localError = 0;
    bool stoppedEarly = false;
    std::vector<std::string> before;
    std::vector<std::string> after;
};

// How a login is tried: each try is a connection of its own.
struct SftpConnection::Login {
    std::filesystem::path key;  // empty: none
    bool agent = false;
    bool password = false;
};

// libcurl's callbacks, with the exact signatures it calls; none lets an exception out.
struct SftpCallbacks {
    using Data = std::pair<SftpConnection*, SftpConnection::Request*>;

    static std::size_t write(char* data, std::size_t size, std::size_t count,
                             void* pointer) noexcept {
        auto& [connection, request] = *static_cast<Data*>(pointer);
        const std::size_t bytes = size * count;
        connection->progress_.done += bytes;
        connection->stall_.moved(bytes);
        try {
            if (request->listing != nullptr) {
                const bool more = request->listing->feed(std::string_view(data, bytes));
                connection->progress_.entries = request->listing->entriesRead();
                if (!more) {
                    request->stoppedEarly = true;
                    return 0;
                }
            } else if (request->download != nullptr) {
                if (const std::uint32_t failed = request->download->write(data, bytes)) {
                    request->localError = failed;
                    return 0;
                }
            }
        } catch (...) {
            request->localError = error::kNotEnoughMemory;
            return 0;
        }
        return bytes;
    }

    static std::size_t read(char* data, std::size_t size, std::size_t count,
                            void* pointer) noexcept {
        auto& [connection, request] = *static_cast<Data*>(pointer);
        if (request->upload == nullptr) {
            return 0;
        }
        std::size_t got = 0;
        if (const std::uint32_t failed = request->upload->read(data, size * count, got)) {
            request->localError = failed;
            return CURL_READFUNC_ABORT;
        }
        connection->progress_.done += got;
        connection->stall_.moved(got);
        return got;
    }

    static int progress(void* self, curl_off_t downloadTotal, curl_off_t, curl_off_t,
                        curl_off_t) noexcept {
        auto* connection = static_cast<SftpConnection*>(self);
        if (downloadTotal > 0) {
            connection->progress_.total = static_cast<std::uint64_t>(downloadTotal);
        }
        return connection->cancelled_ || connection->stalled() ? 1 : 0;
    }

    static int hostKey(void* self, int, const char* key, std::size_t length) noexcept {
        return static_cast<SftpConnection*>(self)->checkHostKey(std::string_view(key, length));
    }
};

SftpConnection::SftpConnection(SftpSettings settings)
    : settings_(std::move(settings)),
      errorText_(new char[CURL_ERROR_SIZE]()),
      stall_(settings_.timeouts.window, settings_.timeouts.bytesPerSecond) {
    initialiseCurl();
    multi_ = curl_multi_init();
    curl_ = curl_easy_init();
    if (multi_ == nullptr || curl_ == nullptr) {
        return;
    }
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "sftp");
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorText_.get());
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &SftpCallbacks::progress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl_, CURLOPT_USERNAME, settings_.user.c_str());
    if (!settings_.password.empty()) {
        curl_easy_setopt(curl_, CURLOPT_PASSWORD, settings_.password.c_str());
    }
    curl_easy_setopt(curl_, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(settings_.timeouts.connect.count()));
    curl_easy_setopt(curl_, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, kBufferBytes);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD_BUFFERSIZE, kBufferBytes);
    curl_easy_setopt(curl_, CURLOPT_SSH_HOSTKEYDATA, this);
    if (curl_easy_setopt(curl_, CURLOPT_SSH_HOSTKEYFUNCTION, &SftpCallbacks::hostKey) != CURLE_OK) {
        // Without the check any key would pass: no connection at all then.
        curl_easy_cleanup(curl_);
        curl_ = nullptr;
    }
}

SftpConnection::~SftpConnection() {
    if (curl_ != nullptr) {
        curl_easy_cleanup(curl_);
    }
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
    curl_slist_free_all(quote_);
    curl_slist_free_all(postQuote_);
    if (knownTypes_ >= 0) {
        ::close(knownTypes_);
    }
}

bool SftpConnection::stalled() {
    stalledNow_ = stalledNow_ || stall_.stalled(StallWatch::Clock::now());
    return stalledNow_;
}

void SftpConnection::begin(bool keepListing) {
    if (!keepListing) {
        listed_.reset();
    }
    cancelled_ = false;
    detail_.clear();
    stall_.start(StallWatch::Clock::now());
}

int SftpConnection::run() {
    if (curl_multi_add_handle(multi_, curl_) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running != 0) {
        if (cancelled_) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (stalled()) {
            result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            break;
        }
        long wait = -1;
        curl_multi_timeout(multi_, &wait);
        if (wait < 0 || wait > kPollMilliseconds) {
            wait = kPollMilliseconds;
        }
        curl_multi_poll(multi_, nullptr, 0, static_cast<int>(wait), nullptr);
    }
    if (running == 0) {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == curl_) {
                result = message->data.result;
            }
        }
    }
    curl_multi_remove_handle(multi_, curl_);
    return result;
}

std::uint32_t SftpConnection::perform(const std::string& path, Request& request) {
    if (curl_ == nullptr || multi_ == nullptr) {
        return error::kInternalError;
    }
    if (cancelled_) {
        return error::kOperationCancelled;
    }
    const std::string address = "sftp://" + settings_.address.host + ":" +
                                std::to_string(settings_.address.port) +
                                urlPathOf(path, request.folder);
    SftpCallbacks::Data callbackData{this, &request};
    curl_easy_setopt(curl_, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl_, CURLOPT_NOBODY, request.noBody ? 1L : 0L);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, request.upload != nullptr ? 1L : 0L);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &SftpCallbacks::write);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &callbackData);
    curl_easy_setopt(curl_, CURLOPT_READFUNCTION, &SftpCallbacks::read);
    curl_easy_setopt(curl_, CURLOPT_READDATA, &callbackData);
    curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE,
                     static_cast<curl_off_t>(request.upload ? request.upload->size() : -1));
    curl_slist_free_all(quote_);
    curl_slist_free_all(postQuote_);
    quote_ = commandList(request.before);
    postQuote_ = commandList(request.after);
    curl_easy_setopt(curl_, CURLOPT_QUOTE, quote_);
    curl_easy_setopt(curl_, CURLOPT_POSTQUOTE, postQuote_);
    errorText_[0] = '\0';
    keyProblem_.reset();
    stalledNow_ = false;
    curlResult_ = run();
    if (curlResult_ == CURLE_OK || (request.stoppedEarly && curlResult_ == CURLE_WRITE_ERROR)) {
        return error::kSuccess;
    }
    return errorOf(curlResult_, request);
}

std::uint32_t SftpConnection::errorOf(int code, const Request& request) {
    if (request.localError != 0) {
        return request.localError;
    }
    if (cancelled_) {
        return error::kOperationCancelled;
    }
    if (stalledNow_) {
        return error::kTimeout;
    }
    if (keyProblem_) {
        return *keyProblem_;
    }
    const std::string text = errorText_.get();
    std::uint32_t number = errorFromCurl(static_cast<CURLcode>(code));
    if (code == CURLE_SSH) {
        // libcurl names what the server refused; a connection that broke gets no words but
        // the general ones.
        const bool refused = !text.empty() && text != curl_easy_strerror(CURLE_SSH);
        number = refused ? error::kExtendedError : error::kConnectionAborted;
    } else if (code == CURLE_FAILED_INIT || code == CURLE_PEER_FAILED_VERIFICATION) {
        detail_ = "The SSH handshake with " + settings_.address.host + " failed: " + text;
        number = error::kSecureFailure;
    }
    if (number == error::kExtendedError) {
        replies_.feed(text + "\n");
    }
    return number;
}

int SftpConnection::checkHostKey(std::string_view blob) noexcept {
    try {
        const HostKey key{settings_.address.host, settings_.address.port, std::string(blob)};
        if (!acceptedKey_.empty() && acceptedKey_ == key.blob) {
            return CURLKHMATCH_OK;  // a new login of this connection
        }
        const KnownHosts::Check check = settings_.knownHosts != nullptr
                                            ? settings_.knownHosts->check(key)
                                            : KnownHosts::Check{};
        const std::string shown = key.shownType() + " key " + key.fingerprint();
        switch (check.verdict) {
            case KnownHosts::Verdict::kKnown:
                acceptedKey_ = key.blob;
                return CURLKHMATCH_OK;
            case KnownHosts::Verdict::kChanged:
            case KnownHosts::Verdict::kRevoked:
                keyProblem_ = error::kHostKeyChanged;
                detail_ = "The host key of " + key.knownName() +
                          (check.verdict == KnownHosts::Verdict::kRevoked
                               ? " is revoked in " + check.file.string() + " (line " +
                                     std::to_string(check.line) + "): " + shown
                               : " has CHANGED: it is not the key recorded for it in " +
                                     check.file.string() + " (line " + std::to_string(check.line) +
                                     "), but " + shown) +
                          ". Someone may be listening in, or the server was set up anew; nothing "
                          "was sent. Only when its administrator confirms the new key, remove "
                          "the old one with: ssh-keygen -R '" +
                          key.knownName() + "' -f " + check.file.string();
                return CURLKHMATCH_MISMATCH;
            case KnownHosts::Verdict::kUnknown:
                break;
        }
        keyProblem_ = error::kInvalidCa;
        if (!settings_.askToTrust) {
            detail_ = "The host key of " + key.knownName() + " is not known: " + shown;
            return CURLKHMATCH_MISMATCH;
        }
        const bool trusted = settings_.askToTrust(key);
        // The time the user took counts neither against the stall rule nor, by a new try,
        // against the time to connect (open()).
        stall_.start(StallWatch::Clock::now());
        askedNow_ = true;
        if (!trusted) {
            return CURLKHMATCH_MISMATCH;
        }
        if (settings_.knownHosts != nullptr) {
            settings_.knownHosts->add(key);
        }
        keyProblem_.reset();
        acceptedKey_ = key.blob;
        return CURLKHMATCH_OK;
    } catch (const Failure& failure) {
        keyProblem_ = error::kAccessDenied;
        detail_ = failure.description();
    } catch (const std::bad_alloc&) {
        keyProblem_ = error::kNotEnoughMemory;
    } catch (...) {
        keyProblem_ = error::kInternalError;
    }
    return CURLKHMATCH_MISMATCH;
}

void SftpConnection::preferKnownTypes() {
    // libcurl takes the key type to ask the server for from a known_hosts file it is given;
    // without one it would take libssh2's first choice, which the files may not know.
    if (settings_.knownHosts == nullptr || knownTypes_ >= 0) {
        return;
    }
    const std::vector<std::string> keys =
        settings_.knownHosts->knownKeys(settings_.address.host, settings_.address.port);
    if (keys.empty()) {
        return;
    }
    const std::string name =
        HostKey{settings_.address.host, settings_.address.port, {}}.knownName();
    std::string lines;
    for (const std::string& key : keys) {
        lines += name + " " + key + "\n";
    }
    knownTypes_ = ::memfd_create("varnox-known-types", MFD_CLOEXEC);
    if (knownTypes_ < 0 || platform::writeAll(knownTypes_, lines.data(), lines.size()) != 0) {
        return;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(knownTypes_);
    if (::access(path.c_str(), R_OK) == 0) {
        curl_easy_setopt(curl_, CURLOPT_SSH_KNOWNHOSTS, path.c_str());
    }
}

std::uint32_t SftpConnection::tryLogin(const Login& login) {
    long methods = 0;
    if (!login.key.empty()) {
        methods |= CURLSSH_AUTH_PUBLICKEY;
    }
    if (login.agent) {
        methods |= CURLSSH_AUTH_AGENT;
    }
    if (login.password) {
        methods |= CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
    }
    curl_easy_setopt(curl_, CURLOPT_SSH_AUTH_TYPES, methods);
    curl_easy_setopt(curl_, CURLOPT_SSH_PRIVATE_KEYFILE,
                     login.key.empty() ? nullptr : login.key.c_str());
    Request request;
    request.noBody = true;
    request.folder = true;
    return perform("/", request);
}

std::uint32_t SftpConnection::open() {
    begin();
    if (curl_ == nullptr) {
        return error::kInternalError;
    }
    if (!settings_.identity.empty() && !platform::ordinaryFileExists(settings_.identity)) {
        detail_ = "There is no key file " + settings_.identity.string();
        return error::kFileNotFound;
    }
    preferKnownTypes();
    const bool password = !settings_.password.empty();
    std::vector<Login> logins;
    if (!settings_.identity.empty()) {
        logins.push_back({settings_.identity, false, password});
    } else {
        const std::vector<std::filesystem::path> keys = defaultKeys();
        const char* agent = std::getenv("SSH_AUTH_SOCK");
        logins.push_back({keys.empty() ? std::filesystem::path() : keys.front(),
                          agent != nullptr && agent[0] != '\0', password});
        for (std::size_t i = 1; i < keys.size(); ++i) {
            logins.push_back({keys[i], false, false});
        }
    }
    std::uint32_t result = error::kLoginFailure;
    std::string offered;
    for (const Login& login : logins) {
        askedNow_ = false;
        result = tryLogin(login);
        if (result == error::kTimeout && askedNow_) {
            result = tryLogin(login);  // the key is known now
        }
        if (!login.key.empty()) {
            offered += (offered.empty() ? "the key " : ", the key ") + login.key.string();
        }
        if (result != error::kLoginFailure) {
            break;
        }
    }
    if (result == error::kLoginFailure) {
        offered += std::string(logins.front().agent ? ", the keys of ssh-agent" : "") +
                   (password ? ", the password" : "");
        detail_ = offered.empty()
                      ? "Nothing to log in to " + settings_.address.host + " as " + settings_.user +
                            " with: no key in " + (homeFolder() / ".ssh").string() +
                            ", no ssh-agent and no password"
                      : settings_.address.host + " refused the login as " + settings_.user +
                            " with " + offered.substr(offered.starts_with(", ") ? 2 : 0);
    }
    if (result != error::kSuccess) {
        return result;
    }
    char* entry = nullptr;
    directory_ = "/";
    if (curl_easy_getinfo(curl_, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry != nullptr &&
        entry[0] == '/') {
        directory_ = entry;
    }
    // "~" and "~/..." are taken from the login folder.
    const std::string& folder = settings_.address.folder;
    const std::string fromHome = folder.starts_with("~/") ? folder.substr(2) : std::string();
    start_ = folder.empty() || folder == "~" ? directory_
             : folder.starts_with("~/")      ? changedDirectory(directory_, fromHome)
                                             : folder;
    if (start_ == directory_) {
        return error::kSuccess;
    }
    result = enter(start_);
    if (result != error::kSuccess) {
        detail_ = "Cannot open the folder " + start_ + " on " + settings_.address.host;
    }
    return result;
}

std::string SftpConnection::serverPath(std::string_view directory) const {
    if (settings_.rootAtStart && directory.starts_with("/")) {
        while (directory.starts_with("/")) {
            directory.remove_prefix(1);
        }
        return directory.empty() ? start_ : changedDirectory(start_, directory);
    }
    return changedDirectory(directory_, directory);
}

std::uint32_t SftpConnection::enter(const std::string& target) {
    // Only opening a folder tells that it is one. Its listing is kept for a list() that comes
    // next: a listing cut short would end the connection, as any failed request does.
    progress_.entries = 0;
    ListingReader reader;
    Request request;
    request.folder = true;
    request.listing = &reader;
    const std::uint32_t result = perform(target, request);
    listed_ = reader.finish();
    std::erase_if(listed_->entries,
                  [](const FindData& entry) { return entry.name == "." || entry.name == ".."; });
    if (result == error::kSuccess) {
        directory_ = target;
    }
    return result;
}

std::uint32_t SftpConnection::changeDirectory(std::string_view directory) {
    begin();
    if (directory.empty() || !isSendable(directory)) {
        return error::kInvalidParameter;
    }
    const std::uint32_t result = enter(serverPath(directory));
    if (result != error::kSuccess) {
        listed_.reset();
    }
    return result;
}

std::uint32_t SftpConnection::list(Listing& listing) {
    begin(true);
    progress_.done = 0;
    progress_.total = 0;
    if (listed_) {
        listing = std::move(*listed_);
        listed_.reset();
        return error::kSuccess;
    }
    const std::uint32_t result = enter(directory_);
    listing = std::move(listed_).value_or(Listing{});
    listed_.reset();
    return result;
}

std::uint32_t SftpConnection::commands(const std::vector<std::string>& lines) {
    Request request;
    request.noBody = true;
    request.folder = true;
    request.before = lines;
    return perform(directory_, request);
}

std::uint32_t SftpConnection::download(std::string_view remoteName,
                                       const std::filesystem::path& localPath, TransferType) {
    begin();
    if (!usableRemoteName(remoteName)) {
        return error::kInvalidParameter;
    }
    PendingDownload target(localPath);
    if (const std::uint32_t result = target.open(); result != error::kSuccess) {
        return result;
    }
    progress_.done = 0;
    progress_.total = 0;
    Request request;
    request.download = &target;
    if (const std::uint32_t result = perform(childPath(directory_, remoteName), request);
        result != error::kSuccess) {
        return result;
    }
    curl_off_t size = -1;
    curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    if (size >= 0 && target.written() != static_cast<std::uint64_t>(size)) {
        return error::kConnectionAborted;  // the file ended before the size the server gave
    }
    return target.commit();
}

std::uint32_t SftpConnection::upload(const std::filesystem::path& localPath,
                                     std::string_view remoteName, TransferType,
                                     bool* deletedFirst) {
    begin();
    if (deletedFirst != nullptr) {
        *deletedFirst = false;
    }
    if (!usableRemoteName(remoteName)) {
        return error::kInvalidParameter;
    }
    const std::string final = childPath(directory_, remoteName);
    std::uint32_t result = error::kSuccess;
    for (int attempt = 0; attempt < 2; ++attempt) {
        result = uploadOnce(localPath, final, deletedFirst);
        // A connection that broke is met once more, on a new login.
        if (result != error::kConnectionAborted || cancelled_) {
            break;
        }
    }
    return result;
}

std::uint32_t SftpConnection::uploadOnce(const std::filesystem::path& localPath,
                                         const std::string& final, bool* deletedFirst) {
    UploadSource source(localPath);
    if (const std::uint32_t result = source.open(); result != error::kSuccess) {
        return result;
    }
    progress_.done = 0;
    progress_.total = static_cast<std::uint64_t>(source.size());
    const std::string temporary = childPath(directory_, kUploadPrefix + platform::randomLetters());
    Request request;
    request.upload = &source;
    request.after = {"rename " + argument(temporary) + " " + argument(final)};
    std::uint32_t result = perform(temporary, request);
    if (result == error::kSuccess) {
        return result;
    }
    ReplyLog failure = replies_;
    // libcurl renames only after a complete transfer; a refused rename leaves the complete
    // file under its temporary name, and the old file goes first.
    if (curlResult_ == CURLE_QUOTE_ERROR && !cancelled_) {
        result = commands(
            {"rm " + argument(final), "rename " + argument(temporary) + " " + argument(final)});
        if (result == error::kSuccess) {
            if (deletedFirst != nullptr) {
                *deletedFirst = true;
            }
            return result;
        }
        failure = replies_;
    }
    removeAfterFailure(temporary, cancelled_ || result == error::kTimeout);
    replies_ = failure;
    return result;
}

void SftpConnection::removeAfterFailure(const std::string& path, bool brief) {
    // No half file stays under the temporary name, also after a cancel.
    const bool wasCancelled = cancelled_.exchange(false);
    const std::string detail = detail_;
    stall_.start(StallWatch::Clock::now());
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, brief ? kBriefMilliseconds : 0L);
    commands({"rm " + argument(path)});
    curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, 0L);
    cancelled_ = wasCancelled;
    detail_ = detail;
}

std::uint32_t SftpConnection::remove(std::string_view remoteName) {
    begin();
    if (!usableRemoteName(remoteName)) {
        return error::kInvalidParameter;
    }
    return commands({"rm " + argument(childPath(directory_, remoteName))});
}

}  // namespace varnox::ftp
