#include "redirect/bulk_compress.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <new>
#include <thread>

#include "platform/system_errors.h"
#include "uz/files.h"

namespace varnox::redirect {

namespace {

constexpr const char* kLockName = ".varnox-redirect.lock";

CompressOutcome compressOne(const Package& package, const fs::path& uzFolder) {
    CompressOutcome outcome;
    try {
        const uz::FileSizes sizes = uz::compressFile(package.path, uzFolder / package.uzName());
        outcome.packageBytes = sizes.input;
        outcome.uzBytes = sizes.output;
    } catch (const Failure& failure) {
        outcome.failure = failure;
    } catch (const std::bad_alloc&) {
        outcome.failure = Failure(failure::kOutOfMemory,
                                  "Not enough memory to compress " + package.path.string());
    }
    return outcome;
}

}  // namespace

void BulkCompressor::run(const std::vector<Package>& packages, const fs::path& uzFolder,
                         const Report& report) {
    done_ = 0;
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
    auto work = [&] {
        for (std::size_t i = next++; i < order.size(); i = next++) {
            const CompressOutcome outcome = compressOne(*order[i], uzFolder);
            done_ += order[i]->facts.size;
            std::lock_guard lock(reporting);
            report(*order[i], outcome);
        }
    };
    std::vector<std::thread> workers;
    for (unsigned w = 1; w < jobs_ && w < packages.size(); ++w) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // the workers running share the packages
        }
    }
    work();
    for (std::thread& worker : workers) {
        worker.join();
    }
}

UzFolderLock::UzFolderLock(const fs::path& uzFolder) : folder_(uzFolder) {
    const fs::path file = folder_ / kLockName;
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throw platform::systemFailure(errno, "Cannot lock " + folder_.string());
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        throw Failure(failure::kPathFileAccessError,
                      "Another run is compressing into " + folder_.string());
    }
}

UzFolderLock::~UzFolderLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::vector<std::string> UzFolderLock::removeLeftovers() {
    std::vector<std::string> removed;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(uz::kTemporaryPrefix) && name.ends_with(uz::kTemporaryEnding) &&
            entry.is_regular_file(error) && fs::remove(entry.path(), error)) {
            removed.push_back(name);
        }
    }
    return removed;
}

}  // namespace varnox::redirect
