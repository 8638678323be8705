#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

// Runs of the program that must not overlap take turns through an advisory lock on a file.
namespace varnox::platform {

// The lock on one file (flock), held while the object lives and released by the system
// when the process ends in any way. The file also carries a few lines the holders keep for
// one another: who holds the lock, and whatever else its users record.
class LockFile {
public:
    // Waits until `deadline` for the lock; nothing when another holder kept it all that time.
    // Throws varnox::Failure naming the file when it cannot be opened or made.
    static std::unique_ptr<LockFile> acquire(const std::filesystem::path& file,
                                             std::chrono::steady_clock::time_point deadline);
    // The lock of a run that takes its turn at `doing` ("compressing into /ut/uz"): as
    // acquire(), but a wait that ends first throws varnox::Failure saying "Another run is
    // DOING (the holder's first line); waited N s for it".
    static std::unique_ptr<LockFile> takeTurn(const std::filesystem::path& file,
                                              std::chrono::steady_clock::time_point deadline,
                                              const std::string& doing);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // What the holders recorded in the file; empty when it cannot be read.
    std::string contents() const;
    // Replaces what the file records. Throws varnox::Failure naming the file.
    void record(std::string_view text);

    // What a file records, read without the lock (for a message about another holder).
    static std::string peek(const std::filesystem::path& file);

private:
    LockFile(std::filesystem::path file, int fd) : file_(std::move(file)), fd_(fd) {}

    std::filesystem::path file_;
    int fd_ = -1;
};

// Takes the flock on `fd` (an exclusive lock), trying again until `deadline`. Returns 0, or
// EWOULDBLOCK when another holder kept it all that time, or the system's error.
int lockWithin(int fd, std::chrono::steady_clock::time_point deadline);

// "process 1234 on HOST since 2025-01-31T04:30:01+01:00": who this process is, for the
// holder line of a lock file.
std::string describeThisRun();

}  // namespace varnox::platform
