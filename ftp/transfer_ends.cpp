#include "ftp/transfer_ends.h"

#include <curl/curl.h>

#include <string_view>

#include "ftp/connection.h"
#include "ftp/errors.h"
#include "ftp/listing.h"
#include "ftp/local_file.h"

namespace varnox::ftp {

std::size_t TransferEnds::receive(const char* data, std::size_t bytes,
                                  Progress& progress) noexcept {
    progress.done += bytes;
    try {
        if (listing != nullptr) {
            const bool more = listing->feed(std::string_view(data, bytes));
            progress.entries = listing->entriesRead();
            if (!more) {
                listingCut = true;
                return 0;  // the rest of the listing is not wanted
            }
        } else if (download != nullptr) {
            if (const std::uint32_t failed = download->write(data, bytes)) {
                localError = failed;
                return 0;
            }
        }
    } catch (...) {
        localError = error::kNotEnoughMemory;
        return 0;
    }
    return bytes;
}

std::size_t TransferEnds::send(char* data, std::size_t size, Progress& progress) noexcept {
    if (upload == nullptr) {
        return 0;
    }
    std::size_t got = 0;
    if (const std::uint32_t failed = upload->read(data, size, got)) {
        localError = failed;
        return CURL_READFUNC_ABORT;
    }
    progress.done += got;
    return got;
}

}  // namespace varnox::ftp
