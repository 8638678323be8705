#pragma once

#include <cstddef>
#include <cstdint>

namespace varnox::ftp {

class ListingReader;
class PendingDownload;
struct Progress;
class UploadSource;

// The local ends of one libcurl request, as both connections' callbacks use them: where the
// bytes that arrive go (a listing or a download) or where the bytes to send come from, and
// what failed on this side.
struct TransferEnds {
    ListingReader* listing = nullptr;
    PendingDownload* download = nullptr;
    UploadSource* upload = nullptr;
    std::uint32_t localError = 0;  // a number of ftp/errors.h
    bool listingCut = false;       // the listing wanted no more

    // The work of libcurl's write callback on `bytes` that arrived: counts them in `progress`
    // and hands them on. Returns what the callback returns: `bytes`, or 0 to end the transfer.
    std::size_t receive(const char* data, std::size_t bytes, Progress& progress) noexcept;
    // The work of libcurl's read callback: up to `size` bytes of the upload into `data`,
    // counted in `progress`. Returns what the callback returns: the bytes read, or libcurl's
    // abort value.
    std::size_t send(char* data, std::size_t size, Progress& progress) noexcept;
};

}  // namespace varnox::ftp
