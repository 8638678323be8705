#include "ftp/local_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <span>
#include <string>

#include "ftp/errors.h"
#include "platform/system_errors.h"

namespace varnox::ftp {

PendingDownload::PendingDownload(std::filesystem::path target) : target_(std::move(target)) {}

PendingDownload::~PendingDownload() = default;

std::uint32_t PendingDownload::open() {
    std::filesystem::path name = target_.filename();
    if (name.empty() || name == "." || name == "..") {
        return error::kInvalidParameter;
    }
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return error::kAccessDenied;
        }
    } else if (errno != ENOENT) {
        return platform::windowsNumber(errno, false);
    }
    platform::ReplaceOptions options;
    options.temporaryPrefix = ".varnox-download-";
    try {
        file_ = std::make_unique<platform::ReplacingFile>(target_, options);
    } catch (const platform::SystemFailure& failure) {
        return platform::windowsNumber(failure.systemError(), false);
    }
    return error::kSuccess;
}

std::uint32_t PendingDownload::write(const char* data, std::size_t size) {
    try {
        file_->write(std::string_view(data, size));
        written_ += size;
        return error::kSuccess;
    } catch (const platform::SystemFailure& failure) {
        return platform::windowsNumber(failure.systemError(), false);
    }
}

std::uint32_t PendingDownload::commit() {
    try {
        file_->commit();
        return error::kSuccess;
    } catch (const platform::SystemFailure& failure) {
        return platform::windowsNumber(failure.systemError(), false);
    }
}

std::uint32_t UploadSource::open() {
    try {
        in_.emplace(file_);
        return error::kSuccess;
    } catch (const platform::SystemFailure& failure) {
        const std::filesystem::path folder = file_.parent_path();
        std::error_code ignored;
        if (failure.systemError() == ENOENT && !folder.empty() &&
            !std::filesystem::is_directory(folder, ignored)) {
            return error::kPathNotFound;
        }
        return platform::windowsNumber(failure.systemError(), true);
    } catch (const Failure&) {
        return error::kAccessDenied;  // a folder, a FIFO, a device
    }
}

std::uint32_t UploadSource::read(char* data, std::size_t size, std::size_t& got) {
    got = 0;
    if (!asText_ || size == 0) {
        return readRaw(data, size, got);
    }
    while (true) {
        std::size_t used = 0;
        if (heldCarriageReturn_) {
            data[used++] = '\r';
            heldCarriageReturn_ = false;
        }
        std::size_t raw = 0;
        if (const std::uint32_t failed = readRaw(data + used, size - used, raw); failed != 0) {
            return failed;
        }
        if (raw == 0) {
            got = used;  // the held CR, if any, had no LF after it
            return error::kSuccess;
        }
        std::size_t end = used + raw;
        std::size_t out = 0;
        for (std::size_t in = 0; in < end; ++in) {
            if (data[in] == '\r' && in + 1 < end && data[in + 1] == '\n') {
                continue;
            }
            data[out++] = data[in];
        }
        if (out > 0 && data[out - 1] == '\r') {
            heldCarriageReturn_ = true;
            --out;
        }
        if (out > 0) {
            got = out;
            return error::kSuccess;
        }
        // Only a CR so far: read on, as 0 would mean the end of the file.
    }
}

std::uint32_t UploadSource::readRaw(char* data, std::size_t size, std::size_t& got) {
    try {
        got = in_->read({reinterpret_cast<std::uint8_t*>(data), size});
        return error::kSuccess;
    } catch (const platform::SystemFailure& failure) {
        return platform::windowsNumber(failure.systemError(), true);
    }
}

}  // namespace varnox::ftp
