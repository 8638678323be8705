#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/files.h"
#include "platform/positional_file.h"

// The local side of transfers, on the program's file layer (platform/). Every call returns 0
// (error::kSuccess) or the Windows number of ftp/errors.h for what failed.
namespace varnox::ftp {

// A download that becomes the target file only when it is complete. Bytes go to a
// temporary file in the target's folder; commit() moves it over the target in one step,
// so a failed or cancelled download leaves an existing file untouched and no partial file
// behind (the destructor removes the temporary file unless it was committed).
class PendingDownload {
public:
    explicit PendingDownload(std::filesystem::path target);
    ~PendingDownload();
    PendingDownload(const PendingDownload&) = delete;
    PendingDownload& operator=(const PendingDownload&) = delete;

    // Checks the target and creates the temporary file: kInvalidParameter when the last
    // component is "." or ".." or missing, kAccessDenied when the target is a folder, and the
    // local error of creating the temporary file otherwise.
    std::uint32_t open();
    // Appends bytes.
    std::uint32_t write(const char* data, std::size_t size);
    // Closes the temporary file and puts it in the target's place.
    std::uint32_t commit();
    std::uint64_t written() const { return written_; }

private:
    std::filesystem::path target_;
    std::unique_ptr<platform::ReplacingFile> file_;
    std::uint64_t written_ = 0;
};

// A local file opened for an upload. As text (an ASCII transfer) every CRLF of the file is
// read as a lone LF: libcurl turns each LF into the wire's CRLF, and without this a CRLF
// would go out as CR CR LF and leave a stray CR on the server.
class UploadSource {
public:
    explicit UploadSource(std::filesystem::path file, bool asText = false)
        : file_(std::move(file)), asText_(asText) {}

    // Opens the file: kFileNotFound, kPathNotFound, kAccessDenied (also for a folder, or
    // anything else that is not an ordinary file).
    std::uint32_t open();
    std::int64_t size() const { return in_ ? static_cast<std::int64_t>(in_->size()) : 0; }
    // Reads up to `size` bytes into `data`; `got` tells how many, 0 at the end.
    std::uint32_t read(char* data, std::size_t size, std::size_t& got);

private:
    std::uint32_t readRaw(char* data, std::size_t size, std::size_t& got);

    std::filesystem::path file_;
    bool asText_;
    bool heldCarriageReturn_ = false;  // a CR ended the last piece; its LF may follow
    std::optional<platform::PositionalFile> in_;
};

}  // namespace varnox::ftp
