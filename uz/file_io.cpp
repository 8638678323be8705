#include "uz/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/system_errors.h"
#include "uz/buffer.h"
#include "uz/error.h"
#include "uz/files.h"

namespace varnox::uz {

namespace {

[[noreturn]] void raise(int errnum, const std::string& what) {
    throw FileError(platform::classicNumber(errnum, failure::kFileNotFound),
                    what + ": " + std::strerror(errnum));
}

// Opens a regular file for reading and returns its descriptor and size. Non-blocking while
// opening, so that a FIFO does not hang the open.
int openRegularFile(const std::filesystem::path& file, std::uint64_t& size) {
    const std::string what = "Cannot read " + file.string();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        raise(errno, what);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int cause = errno;
        ::close(fd);
        raise(cause, what);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw FileError(
            failure::kPathFileAccessError,
            what + (S_ISDIR(info.st_mode) ? ": it is a folder" : ": it is not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(info.st_size);
    return fd;
}

// The temporary files being written, for removal from a signal handler. Each path waits in
// a fixed buffer, taken and given back through an atomic state: the handler may neither
// allocate nor lock. A file beyond the last slot is written all the same, only not removed
// on a signal.
constexpr int kSlots = 16;
constexpr std::size_t kPathRoom = 4096;
enum SlotState : int { kFree, kTaking, kHeld };

struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathRoom];
};
static_assert(std::atomic<int>::is_always_lock_free);

Slot slots[kSlots];

int holdForSignals(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= kPathRoom) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kTaking)) {
            std::memcpy(slots[i].path, text.c_str(), text.size() + 1);
            slots[i].state.store(kHeld, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void releaseForSignals(int& slot) {
    if (slot >= 0) {
        slots[slot].state.store(kFree, std::memory_order_release);
        slot = -1;
    }
}

}  // namespace

void removeTemporaryFilesNow() noexcept {
    for (Slot& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) == kHeld) {
            ::unlink(slot.path);
        }
    }
}

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& file) {
    const std::string what = "Cannot read " + file.string();
    std::uint64_t size = 0;
    const int fd = openRegularFile(file, size);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    std::vector<std::uint8_t> bytes = stageBuffer(static_cast<std::size_t>(size));
    std::size_t filled = 0;
    for (;;) {
        ssize_t got;
        if (filled < bytes.size()) {
            got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        } else {
            // The file may have grown since fstat: take whatever else there is.
            std::uint8_t chunk[65536];
            got = ::read(fd, chunk, sizeof chunk);
            if (got > 0) {
                bytes.insert(bytes.end(), chunk, chunk + got);
            }
        }
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            raise(errno, what);
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

FileSource::FileSource(const std::filesystem::path& file) : file_(file) {
    fd_ = openRegularFile(file, size_);
}

FileSource::~FileSource() {
    ::close(fd_);
}

std::size_t FileSource::read(std::span<std::uint8_t> into) {
    for (;;) {
        const ssize_t got = ::read(fd_, into.data(), into.size());
        if (got >= 0) {
            done_ += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            raise(errno, "Cannot read " + file_.string());
        }
    }
}

ReplacingFile::ReplacingFile(std::filesystem::path target) : target_(std::move(target)) {
    const std::filesystem::path folder =
        target_.has_parent_path() ? target_.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = folder / (std::string(kTemporaryPrefix) + platform::randomLetters(10) +
                               std::string(kTemporaryEnding));
        // Known to the signal handler before it exists, so that no moment leaves it behind.
        signalSlot_ = holdForSignals(temporary_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            return;
        }
        const int cause = errno;
        releaseForSignals(signalSlot_);
        errno = cause;
        if (errno != EEXIST) {
            raise(errno, "Cannot write " + target_.string());
        }
    }
    raise(EEXIST, "Cannot write " + target_.string());
}

ReplacingFile::~ReplacingFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
    releaseForSignals(signalSlot_);
}

void ReplacingFile::fail(int errnum, const char* action) {
    raise(errnum, std::string(action) + " " + target_.string());
}

void ReplacingFile::write(std::span<const std::uint8_t> bytes) {
    if (const int error = platform::writeAll(fd_, bytes.data(), bytes.size()); error != 0) {
        fail(error, "Cannot write");
    }
}

void ReplacingFile::commit() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        fail(errno, "Cannot write");
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail(errno, "Cannot replace");
    }
    temporary_.clear();
    releaseForSignals(signalSlot_);
}

}  // namespace varnox::uz
