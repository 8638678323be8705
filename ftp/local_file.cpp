#include "ftp/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

bool PendingDownload::write(const char* data, std::size_t size) {
    try {
        file_->write(std::string_view(data, size));
        written_ += size;
        return true;
    } catch (const platform::SystemFailure& failure) {
        writeError_ = platform::windowsNumber(failure.systemError(), false);
        return false;
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

UploadSource::~UploadSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::uint32_t UploadSource::open() {
    fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        int err = errno;
        std::filesystem::path folder = file_.parent_path();
        std::error_code ignored;
        if (err == ENOENT && !folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
            return error::kPathNotFound;
        }
        return platform::windowsNumber(err, true);
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return platform::windowsNumber(errno, true);
    }
    if (S_ISDIR(info.st_mode)) {
        return error::kAccessDenied;
    }
    size_ = info.st_size;
    return error::kSuccess;
}

long UploadSource::read(char* data, std::size_t size) {
    if (!asText_ || size == 0) {
        return readRaw(data, size);
    }
    while (true) {
        std::size_t used = 0;
        if (heldCarriageReturn_) {
            data[used++] = '\r';
            heldCarriageReturn_ = false;
        }
        long got = readRaw(data + used, size - used);
        if (got < 0) {
            return got;
        }
        if (got == 0) {
            return static_cast<long>(used);  // the held CR, if any, had no LF after it
        }
        std::size_t end = used + static_cast<std::size_t>(got);
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
            return static_cast<long>(out);
        }
        // Only a CR so far: read on, as 0 would mean the end of the file.
    }
}

long UploadSource::readRaw(char* data, std::size_t size) {
    while (true) {
        ssize_t got = ::read(fd_, data, size);
        if (got >= 0) {
            return static_cast<long>(got);
        }
        if (errno != EINTR) {
            readError_ = platform::windowsNumber(errno, true);
            return -1;
        }
    }
}

}  // namespace varnox::ftp
