#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace varnox::uz {

// How far one thread has filled a buffer from its front, for another thread that reads the
// filled part while the rest is still being written.
class FillProgress {
public:
    // The first `filled` bytes are written and will not change.
    void publish(std::size_t filled) {
        {
            std::lock_guard lock(mutex_);
            filled_ = filled;
        }
        changed_.notify_all();
    }

    // No more bytes will come, whether the writer completed or failed.
    void finish() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        changed_.notify_all();
    }

    // Waits until at least `wanted` bytes are filled or the writer has finished, and returns
    // how many are filled.
    std::size_t waitFor(std::size_t wanted) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ >= wanted || finished_; });
        return filled_;
    }

    std::size_t filled() {
        std::lock_guard lock(mutex_);
        return filled_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t filled_ = 0;
    bool finished_ = false;
};

}  // namespace varnox::uz
