#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/lock_file.h"
#include "redirect/local_folder.h"

// Compressing many packages into the uz folder at once, with the .uz codec in this process.
namespace varnox::redirect {

struct CompressOutcome {
    std::uint64_t packageBytes = 0;
    std::uint64_t uzBytes = 0;
    std::optional<Failure> failure;  // set when this package failed
};

// Runs uz::compressFile for each package, `jobs` packages at a time, the largest first. Each .uz is
// written to a temporary file and renamed into place, so a run cut short leaves every .uz either
// old or new. A package that fails is reported and the others go on.
class BulkCompressor {
public:
    // Told of each package as it ends, one call at a time, from the worker that did it.
    using Report = std::function<void(const Package&, const CompressOutcome&)>;

    explicit BulkCompressor(unsigned jobs) : jobs_(jobs == 0 ? 1 : jobs), working_(jobs_) {}

    void run(const std::vector<Package>& packages, const fs::path& uzFolder, const Report& report);
    // No package is started after this (from any thread); those running finish.
    void stop() { stopped_ = true; }

    // Bytes of the packages done so far, counted as their blocks are compressed, and of all
    // of them; readable from any thread.
    std::uint64_t doneBytes() const;
    std::uint64_t totalBytes() const { return total_; }

private:
    unsigned jobs_;
    std::atomic<std::uint64_t> finished_{0};           // bytes of the packages that ended
    std::vector<std::atomic<std::uint64_t>> working_;  // of the one each worker runs
    std::atomic<std::uint64_t> total_{0};
    std::atomic<bool> stopped_{false};
};

// The uz folder held by one compressing run at a time: a lock on a hidden file in it,
// released when the object goes. A run waits for the one before until `deadline`. Holding
// it, the run removes what an earlier run cut short left behind (the codec's temporary
// files) and writes the manifest. Throws varnox::Failure naming the folder and the run that
// holds it when the wait ends first, or when the lock file cannot be made.
class UzFolderLock {
public:
    UzFolderLock(const fs::path& uzFolder, std::chrono::steady_clock::time_point deadline);
    ~UzFolderLock();
    UzFolderLock(const UzFolderLock&) = delete;
    UzFolderLock& operator=(const UzFolderLock&) = delete;

    // Removes the temporary files left in the folder; returns their names.
    std::vector<std::string> removeLeftovers();

private:
    fs::path folder_;
    std::unique_ptr<platform::LockFile> lock_;
};

}  // namespace varnox::redirect
