#include "platform/lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/system_errors.h"
#include "platform/terminal_text.h"

namespace varnox::platform {

namespace {

constexpr auto kRetryEvery = std::chrono::milliseconds(10);

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        at += got;
    }
}

}  // namespace

std::unique_ptr<LockFile> LockFile::acquire(const std::filesystem::path& file,
                                            std::chrono::steady_clock::time_point deadline) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        throw systemFailure(errno, "Cannot lock " + file.string());
    }
    const int error = lockWithin(fd, deadline);
    if (error == 0) {
        return std::unique_ptr<LockFile>(new LockFile(file, fd));
    }
    ::close(fd);
    if (error != EWOULDBLOCK) {
        throw systemFailure(error, "Cannot lock " + file.string());
    }
    return nullptr;
}

std::unique_ptr<LockFile> LockFile::takeTurn(const std::filesystem::path& file,
                                             std::chrono::steady_clock::time_point deadline,
                                             const std::string& doing) {
    const auto started = std::chrono::steady_clock::now();
    std::unique_ptr<LockFile> lock = acquire(file, deadline);
    if (!lock) {
        const std::string holder = peek(file);
        const auto waited = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - started);
        throw Failure(failure::kPathFileAccessError,
                      "Another run is " + doing +
                          (holder.empty() ? "" : " (" + holder.substr(0, holder.find('\n')) + ")") +
                          "; waited " + std::to_string(waited.count()) + " s for it");
    }
    return lock;
}

int lockWithin(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return 0;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return errno;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return EWOULDBLOCK;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
}

LockFile::~LockFile() {
    ::close(fd_);
}

std::string LockFile::contents() const {
    return readAll(fd_);
}

void LockFile::record(std::string_view text) {
    if (::ftruncate(fd_, 0) != 0) {
        throw systemFailure(errno, "Cannot write " + file_.string());
    }
    const ssize_t written = ::pwrite(fd_, text.data(), text.size(), 0);
    if (written != static_cast<ssize_t>(text.size())) {
        throw systemFailure(written < 0 ? errno : ENOSPC, "Cannot write " + file_.string());
    }
}

std::string LockFile::peek(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    std::string text = readAll(fd);
    ::close(fd);
    return text;
}

std::string describeThisRun() {
    static const std::string description = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        return "process " + std::to_string(::getpid()) + " on " + host + " since " +
               localTimestamp(std::chrono::system_clock::now());
    }();
    return description;
}

}  // namespace varnox::platform
