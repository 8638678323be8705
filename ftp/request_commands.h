#pragma once

#include <string>
#include <vector>

typedef void CURL;
struct curl_slist;

namespace varnox::ftp {

// The commands a request sends before its transfer and after it (CURLOPT_QUOTE and
// CURLOPT_POSTQUOTE), kept for libcurl until the next request sets its own.
class RequestCommands {
public:
    RequestCommands() = default;
    ~RequestCommands();
    RequestCommands(const RequestCommands&) = delete;
    RequestCommands& operator=(const RequestCommands&) = delete;

    // Hands `before` and `after` to `easy` in place of the last request's commands.
    void set(CURL* easy, const std::vector<std::string>& before,
             const std::vector<std::string>& after);

private:
    curl_slist* before_ = nullptr;
    curl_slist* after_ = nullptr;
};

}  // namespace varnox::ftp
