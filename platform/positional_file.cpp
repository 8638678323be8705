#include "platform/positional_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_errors.h"

namespace varnox::platform {

PositionalFile::PositionalFile(std::filesystem::path file) : file_(std::move(file)) {
    fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        throw systemFailure(errno, "Cannot read " + file_.string(), failure::kFileNotFound);
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        const int error = errno;
        ::close(fd_);
        throw systemFailure(error, "Cannot read " + file_.string(), failure::kFileNotFound);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw Failure(failure::kFileNotFound, "Not an ordinary file: " + file_.string());
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
}

PositionalFile::~PositionalFile() {
    ::close(fd_);
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
            throw systemFailure(errno, "Cannot read " + file_.string(), failure::kFileNotFound);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace varnox::platform
