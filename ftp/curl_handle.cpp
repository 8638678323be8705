#include "ftp/curl_handle.h"

#include <mutex>

#include "ftp/names.h"

namespace varnox::ftp {

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int driveTransfer(CURLM* multi, CURL* easy, long pollMilliseconds,
                  const std::function<CURLcode()>& stop) {
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_OK;
    int running = 1;
    while (running != 0) {
        if (result = stop(); result != CURLE_OK) {
            break;
        }
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) {
            break;
        }
        long wait = -1;
        curl_multi_timeout(multi, &wait);
        if (wait < 0 || wait > pollMilliseconds) {
            wait = pollMilliseconds;
        }
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(wait), nullptr);
    }
    if (running == 0) {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                result = message->data.result;
            }
        }
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

bool usableRemoteName(std::string_view name) {
    return !name.empty() && isSendable(name) && name.back() != '/';
}

}  // namespace varnox::ftp
