#include "redirect/bulk_compress.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include "platform/system_errors.h"
#include "redirect/manifest.h"
#include "uz/files.h"

namespace varnox::redirect {

namespace {

constexpr const char* kLockName = ".varnox-redirect.lock";

CompressOutcome compressOne(const Package& package, const fs::path& uzFolder,
                            std::atomic<std::uint64_t>& progress) {
    CompressOutcome outcome;
    try {
        const uz::FileSizes sizes = uz::compressFile(package.path, uzFolder / package.uzName(),
                                                     uz::Signature::Standard, &progress);
        outcome.packageBytes = sizes.input;
        outcome.uzBytes = sizes.output;
    } catch (const Failure& failure) {
        outcome.failure = failure;
    } catch (const std::bad_alloc&) {
        outcome.failure = Failure(failure::kOutOfMemory,
                                  "Not enough memory to compress " + package.path.string());
    } catch (const std::exception& error) {
        outcome.failure = Failure(failure::kInternalError,
                                  "Cannot compress " + package.path.string() + ": " + error.what());
    }
    return outcome;
}

}  // namespace

void BulkCompressor::run(const std::vector<Package>& packages, const fs::path& uzFolder,
                         const Report& report) {
    finished_ = 0;
    total_ = 0;
    for (const Package& package : packages) {
        total_ += package.facts.size;
    }
    // Largest first, so that no large package is left to run alone at the end.
    std::vector<const Package*> order;
    for (const Package& package : packages) {
        order.push_back(&package);
    }
    std::stable_sort(order.begin(), order.end(), [](const Package* a, const Package* b) {
        return a->facts.size > b->facts.size;
    });
    std::atomic<std::size_t> next{0};
    std::mutex reporting;
    // What ended a worker (a report that could not be made, say) ends the run on the
    // caller's thread, never a worker thread.
    std::exception_ptr workerFailure;
    auto work = [&](unsigned worker) {
        try {
            for (std::size_t i = next++; i < order.size() && !stopped_; i = next++) {
                const CompressOutcome outcome = compressOne(*order[i], uzFolder, working_[worker]);
                finished_ += order[i]->facts.size;
                working_[worker] = 0;
                std::lock_guard lock(reporting);
                report(*order[i], outcome);
            }
        } catch (...) {
            std::lock_guard lock(reporting);
            workerFailure = workerFailure ? workerFailure : std::current_exception();
            stopped_ = true;
        }
    };
    std::vector<std::thread> workers;
    for (unsigned w = 1; w < jobs_ && w < packages.size(); ++w) {
        try {
            workers.emplace_back(work, w);
        } catch (const std::system_error&) {
            break;  // the workers running share the packages
        }
    }
    work(0);
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (workerFailure) {
        std::rethrow_exception(workerFailure);
    }
}

std::uint64_t BulkCompressor::doneBytes() const {
    std::uint64_t done = finished_;
    for (const auto& running : working_) {
        done += running;
    }
    return std::min<std::uint64_t>(done, total_);
}

UzFolderLock::UzFolderLock(const fs::path& uzFolder, std::chrono::steady_clock::time_point deadline)
    : folder_(uzFolder) {
    lock_ = platform::LockFile::takeTurn(folder_ / kLockName, deadline,
                                         "compressing into " + folder_.string());
    lock_->record(platform::describeThisRun() + "\n");
}

UzFolderLock::~UzFolderLock() = default;

std::vector<std::string> UzFolderLock::removeLeftovers() {
    std::vector<std::string> removed;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        // The codec's temporary files, and a manifest's that was not renamed into place.
        const bool temporary =
            (name.starts_with(uz::kTemporaryPrefix) && name.ends_with(uz::kTemporaryEnding)) ||
            name.starts_with(std::string(Manifest::kFileName) + ".new-");
        if (temporary && entry.is_regular_file(error) && fs::remove(entry.path(), error)) {
            removed.push_back(name);
        }
    }
    return removed;
}

}  // namespace varnox::redirect
