#include "ftp/request_commands.h"

#include <curl/curl.h>

namespace varnox::ftp {

namespace {

curl_slist* commandList(const std::vector<std::string>& lines) {
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        list = curl_slist_append(list, line.c_str());
    }
    return list;
}

}  // namespace

RequestCommands::~RequestCommands() {
    curl_slist_free_all(before_);
    curl_slist_free_all(after_);
}

void RequestCommands::set(CURL* easy, const std::vector<std::string>& before,
                          const std::vector<std::string>& after) {
    curl_slist_free_all(before_);
    curl_slist_free_all(after_);
    before_ = commandList(before);
    after_ = commandList(after);
    curl_easy_setopt(easy, CURLOPT_QUOTE, before_);
    curl_easy_setopt(easy, CURLOPT_POSTQUOTE, after_);
}

}  // namespace varnox::ftp
