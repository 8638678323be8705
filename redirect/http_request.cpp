#include "redirect/http_request.h"

#include <algorithm>

namespace varnox::redirect {
namespace {

constexpr long kBufferBytes = 128 * 1024;
constexpr std::uint64_t kHeaderLimit = 64 * 1024;
constexpr std::size_t kReasonLimit = 200;

long wholeSeconds(std::chrono::milliseconds duration) {
    return static_cast<long>((std::max<std::int64_t>(duration.count(), 1) + 999) / 1000);
}

// The server's text with its control characters as "?", fit to be shown.
std::string printable(std::string_view text) {
    std::string shown(text);
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c >= 0 && c < 0x20; }, '?');
    return shown;
}

// The text after the status number of a status line ("HTTP/1.1 404 Not Found").
std::string reasonOf(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    const std::size_t afterVersion = line.find(' ');
    const std::size_t afterStatus =
        afterVersion == std::string_view::npos ? afterVersion : line.find(' ', afterVersion + 1);
    if (afterStatus == std::string_view::npos) {
        return {};
    }
    return printable(line.substr(afterStatus + 1, kReasonLimit));
}

}  // namespace

HttpRequest::HttpRequest(const CheckOptions& options) {
    curl_ = curl_easy_init();
    if (curl_ == nullptr) {
        return;
    }
    const long stallSeconds = wholeSeconds(options.stall);
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl_, CURLOPT_FOLLOWLOCATION, 0L);
    // The path goes out as the client sends it: no "/./" or "/../" resolved on the way.
    curl_easy_setopt(curl_, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connect.count()));
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT,
                     std::max(1L, static_cast<long>(options.stallBytes) / stallSeconds));
    curl_easy_setopt(curl_, CURLOPT_BUFFERSIZE, kBufferBytes);
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error_);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &HttpRequest::onHeader);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &HttpRequest::onBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
}

HttpRequest::~HttpRequest() {
    if (curl_ != nullptr) {
        curl_easy_cleanup(curl_);
    }
}

void HttpRequest::prepare(const std::string& url, StreamCompare* compare, std::uint64_t bodyLimit) {
    compare_ = compare;
    bodyLimit_ = bodyLimit;
    headerBytes_ = 0;
    dropped_ = 0;
    sizeLooked_ = false;
    answer_ = {};
    error_[0] = '\0';
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    if (compare != nullptr) {
        curl_easy_setopt(curl_, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    }
}

const HttpAnswer& HttpRequest::finish(CURLcode code) {
    answer_.code = code;
    answer_.error = error_[0] != '\0' ? error_ : curl_easy_strerror(code);
    answer_.status = status();
    curl_off_t length = -1;
    if (curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0) {
        answer_.size = static_cast<std::uint64_t>(length);
    }
    char* location = nullptr;
    if (curl_easy_getinfo(curl_, CURLINFO_REDIRECT_URL, &location) == CURLE_OK &&
        location != nullptr) {
        answer_.location = printable(location);
    }
    return answer_;
}

long HttpRequest::status() const {
    long status = 0;
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

std::size_t HttpRequest::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto& request = *static_cast<HttpRequest*>(self);
    const std::size_t bytes = size * count;
    request.headerBytes_ += bytes;
    if (request.headerBytes_ > kHeaderLimit) {
        request.answer_.headersTooLarge = true;
        return 0;
    }
    const std::string_view line(data, bytes);
    if (line.starts_with("HTTP/")) {
        try {
            request.answer_.reason = reasonOf(line);
        } catch (...) {
            request.answer_.reason.clear();  // no text beats no answer
        }
    }
    return bytes;
}

std::size_t HttpRequest::onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto& request = *static_cast<HttpRequest*>(self);
    const std::size_t bytes = size * count;
    try {
        if (request.takeBody(data, bytes)) {
            return bytes;
        }
        request.answer_.stopped = true;
    } catch (const Failure& failure) {
        request.answer_.localFailure = failure;
    } catch (...) {
        request.answer_.outOfMemory = true;
    }
    return 0;  // ends the transfer
}

bool HttpRequest::takeBody(const char* data, std::size_t size) {
    if (compare_ == nullptr || status() != 200) {
        dropped_ += size;
        return dropped_ <= bodyLimit_;
    }
    if (!sizeLooked_) {
        // A size that is not the local file's says enough: the rest need not come.
        sizeLooked_ = true;
        curl_off_t length = -1;
        curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length >= 0 && static_cast<std::uint64_t>(length) != compare_->local().size()) {
            return false;
        }
    }
    return compare_->feed(data, size);
}

}  // namespace varnox::redirect
