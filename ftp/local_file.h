#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/files.h"

// The local side of transfers. Errors are the Windows numbers of ftp/errors.h.
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

    // Checks the target and creates the temporary file. Returns 0 or the error number:
    // kInvalidParameter when the last component is "." or ".." or missing, kAccessDenied
    // when the target is a folder, and the local error of creating the temporary file
    // otherwise.
    std::uint32_t open();
    // Appends bytes; false on failure (writeError() tells which).
    bool write(const char* data, std::size_t size);
    std::uint32_t writeError() const { return writeError_; }
    // Closes the temporary file and puts it in the target's place. Returns 0 or the error.
    std::uint32_t commit();
    std::uint64_t written() const { return written_; }

private:
    std::filesystem::path target_;
    std::unique_ptr<platform::ReplacingFile> file_;
    std::uint32_t writeError_ = 0;
    std::uint64_t written_ = 0;
};

// A local file opened for an upload. As text (an ASCII transfer) every CRLF of the file is
// read as a lone LF: libcurl turns each LF into the wire's CRLF, and without this a CRLF
// would go out as CR CR LF and leave a stray CR on the server.
class UploadSource {
public:
    explicit UploadSource(std::filesystem::path file, bool asText = false)
        : file_(std::move(file)), asText_(asText) {}
    ~UploadSource();
    UploadSource(const UploadSource&) = delete;
    UploadSource& operator=(const UploadSource&) = delete;

    // Opens the file; 0 or kFileNotFound, kPathNotFound, kAccessDenied (also for a folder).
    std::uint32_t open();
    std::int64_t size() const { return size_; }
    // Reads up to size bytes; returns the count, 0 at the end, or -1 (readError() tells).
    long read(char* data, std::size_t size);
    std::uint32_t readError() const { return readError_; }

private:
    long readRaw(char* data, std::size_t size);

    std::filesystem::path file_;
    bool asText_;
    bool heldCarriageReturn_ = false;  // a CR ended the last piece; its LF may follow
    int fd_ = -1;
    std::int64_t size_ = 0;
    std::uint32_t readError_ = 0;
};

}  // namespace varnox::ftp
