#include "ftp/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "ftp/errors.h"

namespace varnox::ftp {
namespace {

constexpr int kTemporaryAttempts = 100;

std::string randomSuffix() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += kLetters[pick(engine)];
    }
    return suffix;
}

}  // namespace

std::uint32_t localError(int err, bool reading) {
    switch (err) {
        case ENOENT:
            return reading ? error::kFileNotFound : error::kPathNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return error::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return error::kAccessDenied;
        case EEXIST:
            return error::kFileExists;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return error::kDiskFull;
        case ENOMEM:
            return error::kNotEnoughMemory;
        default:
            return reading ? error::kReadFault : error::kWriteFault;
    }
}

PendingDownload::PendingDownload(std::filesystem::path target, bool failIfExists)
    : target_(std::move(target)), failIfExists_(failIfExists) {}

PendingDownload::~PendingDownload() {
    discard();
}

void PendingDownload::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

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
        if (failIfExists_) {
            return error::kFileExists;
        }
    } else if (errno != ENOENT) {
        return localError(errno, false);
    }

    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        std::filesystem::path candidate = folder / (".varnox-download-" + randomSuffix());
        // 0666 less the umask, as any new file gets.
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = candidate;
            return error::kSuccess;
        }
        if (errno != EEXIST) {
            return localError(errno, false);
        }
    }
    return error::kWriteFault;
}

bool PendingDownload::write(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            writeError_ = localError(errno, false);
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::uint32_t PendingDownload::commit() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        std::uint32_t result = localError(errno, false);
        discard();
        return result;
    }
    if (failIfExists_) {
        // link() refuses to replace a file that appeared meanwhile.
        if (::link(temporary_.c_str(), target_.c_str()) != 0) {
            std::uint32_t result = localError(errno, false);
            discard();
            return result;
        }
        discard();
        return error::kSuccess;
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        std::uint32_t result = localError(errno, false);
        discard();
        return result;
    }
    temporary_.clear();
    return error::kSuccess;
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
        return localError(err, true);
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        return localError(errno, true);
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
            readError_ = localError(errno, true);
            return -1;
        }
    }
}

}  // namespace varnox::ftp
