#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/failure.h"
#include "redirect/http_check.h"
#include "redirect/stream_compare.h"

namespace varnox::redirect {

// What came back for one request.
struct HttpAnswer {
    CURLcode code = CURLE_OK;
    std::string error;                  // libcurl's words for a transfer that failed
    long status = 0;                    // 0 when no answer came
    std::string reason;                 // the text after the status: "Not Found"
    std::optional<std::uint64_t> size;  // the Content-Length given
    std::string location;               // where a 3xx points
    bool stopped = false;               // broken off here: what had come said enough (or too much)
    bool headersTooLarge = false;
    std::optional<Failure> localFailure;  // the local file could not be read
    bool outOfMemory = false;
};

// One request at a time over one libcurl easy handle, for the check. The handle is kept from
// request to request, so its connection stays alive in the multi handle's cache. libcurl's
// callbacks let no exception out: they end the transfer and note why.
// libcurl's global set-up is HttpCheck's.
class HttpRequest {
public:
    explicit HttpRequest(const CheckOptions& options);
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Nothing when libcurl could not make a handle.
    CURL* handle() const { return curl_; }

    // Sets up the next request: HEAD, or GET when `compare` is given. A body answered with
    // status 200 goes to `compare`, which ends the transfer at the first difference; any other
    // body is dropped, and the transfer ended past `bodyLimit` bytes.
    void prepare(const std::string& url, StreamCompare* compare, std::uint64_t bodyLimit);
    // What came back, once the multi handle reports the transfer done with `code`.
    const HttpAnswer& finish(CURLcode code);

private:
    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    bool takeBody(const char* data, std::size_t size);
    long status() const;

    CURL* curl_ = nullptr;
    char error_[CURL_ERROR_SIZE] = {};
    StreamCompare* compare_ = nullptr;
    std::uint64_t bodyLimit_ = 0;
    std::uint64_t headerBytes_ = 0;
    std::uint64_t dropped_ = 0;
    bool sizeLooked_ = false;
    HttpAnswer answer_;
};

}  // namespace varnox::redirect
