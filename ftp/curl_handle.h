#pragma once

#include <curl/curl.h>

#include <functional>
#include <string_view>

// What the FTP and the SFTP connections share in their use of libcurl.
namespace varnox::ftp {

// libcurl's global set-up, once for the process, before the first handle.
void initialiseCurl();
// Drives the transfer of `easy` on `multi` until it ends and returns its CURLcode. It wakes
// at least every `pollMilliseconds` and asks `stop` between steps, which ends the transfer
// with the code it returns (CURLE_OK: go on).
int driveTransfer(CURLM* multi, CURL* easy, long pollMilliseconds,
                  const std::function<CURLcode()>& stop);
// Whether a name can be a file in the current folder: not empty, not ending in "/", and free
// of what a server cannot be sent.
bool usableRemoteName(std::string_view name);

}  // namespace varnox::ftp
