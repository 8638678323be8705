#include "platform/positional_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/system_errors.h"

namespace varnox::platform {

namespace {

SystemFailure cannotRead(int systemError, const std::filesystem::path& file) {
    return systemFailure(systemError, "Cannot read " + file.string(), failure::kFileNotFound);
}

// Errors that mean there is nothing to read at a path.
bool meansNoFile(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG;
}

// Opens `file` for reading without waiting on a FIFO, and reads its facts. Fails as
// cannotRead() when it cannot; `info` tells the caller what is there.
int openForReading(const std::filesystem::path& file, struct stat& info) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        throw cannotRead(errno, file);
    }
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        throw cannotRead(error, file);
    }
    return fd;
}

}  // namespace

PositionalFile::PositionalFile(std::filesystem::path file, NotOrdinary notOrdinary)
    : file_(std::move(file)) {
    struct stat info {};
    fd_ = openForReading(file_, info);
    if (!S_ISREG(info.st_mode)) {
        ::close(fd_);
        if (notOrdinary == NotOrdinary::kNotFound) {
            throw Failure(failure::kFileNotFound, "Not an ordinary file: " + file_.string());
        }
        throw Failure(
            failure::kPathFileAccessError,
            "Cannot read " + file_.string() +
                (S_ISDIR(info.st_mode) ? ": it is a folder" : ": it is not a regular file"));
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

std::optional<PositionalFile> PositionalFile::openIfThere(std::filesystem::path file) {
    struct stat info {};
    int fd = -1;
    try {
        fd = openForReading(file, info);
    } catch (const SystemFailure& failure) {
        if (meansNoFile(failure.systemError())) {
            return std::nullopt;
        }
        throw;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    return PositionalFile(std::move(file), Opened{fd, static_cast<std::uint64_t>(info.st_size)});
}

PositionalFile::PositionalFile(PositionalFile&& other) noexcept
    : file_(std::move(other.file_)),
      fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      position_(other.position_) {}

PositionalFile::~PositionalFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t PositionalFile::readAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
    std::size_t done = 0;
    while (done < into.size()) {
        const ssize_t got =
            ::pread(fd_, into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw cannotRead(errno, file_);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::size_t PositionalFile::read(std::span<std::uint8_t> into) {
    const std::size_t got = readAt(position_, into);
    position_ += got;
    return got;
}

}  // namespace varnox::platform
