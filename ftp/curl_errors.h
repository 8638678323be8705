#pragma once

#include <curl/curl.h>

#include <cstdint>

namespace varnox::ftp {

// The WinINet number nearest to what went wrong inside libcurl.
std::uint32_t errorFromCurl(CURLcode code);

}  // namespace varnox::ftp
