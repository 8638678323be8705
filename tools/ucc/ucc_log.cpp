#include "tools/ucc/ucc_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/lock_file.h"

namespace varnox::ucc {

namespace {

// The short lock around one line: a write lock on the whole file owned by this open file,
// independent of the run's flock.
bool lockLine(int fd, short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0;
    while (::fcntl(fd, F_OFD_SETLKW, &range) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

}  // namespace

UccLog::UccLog(const std::filesystem::path& file, std::chrono::milliseconds wait)
    : fd_(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666)) {
    if (fd_ < 0) {
        return;
    }
    // False too when the file system has no locks to give.
    owns_ = platform::lockWithin(fd_, std::chrono::steady_clock::now() + wait) == 0;
    if (owns_) {
        // Started afresh only once no other run is writing to it.
        if (::ftruncate(fd_, 0) != 0) {
            ::close(fd_);
            fd_ = -1;
            owns_ = false;
        }
    }
}

UccLog::~UccLog() {
    if (fd_ >= 0) {
        ::close(fd_);  // gives up the run's lock
    }
}

std::string UccLog::clean(std::string_view text) {
    std::string cleaned(text);
    for (char& c : cleaned) {
        if (c == '\r' || c == '\n') {
            c = '?';
        }
    }
    return cleaned;
}

void UccLog::line(std::string_view event, std::string_view text) {
    if (fd_ < 0) {
        return;
    }
    std::string whole(event);
    whole += ": ";
    whole += clean(text);
    whole += "\r\n";
    const bool locked = lockLine(fd_, F_WRLCK);
    // A log that cannot take the line loses it; the run goes on.
    (void)platform::writeAll(fd_, whole.data(), whole.size());
    if (locked) {
        lockLine(fd_, F_UNLCK);
    }
}

}  // namespace varnox::ucc
