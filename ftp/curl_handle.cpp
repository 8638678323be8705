#include "ftp/curl_handle.h"

#include <mutex>

#include "ftp/names.h"

namespace varnox::ftp {

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

curl_slist* commandList(const std::vector<std::string>& lines) {
    curl_slist* list = nullptr;
    for (const std::string& line : lines) {
        list = curl_slist_append(list, line.c_str());
    }
    return list;
}

bool usableRemoteName(std::string_view name) {
    return !name.empty() && isSendable(name) && name.back() != '/';
}

}  // namespace varnox::ftp
