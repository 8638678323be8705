#include "redirect/watchdog.h"

namespace varnox::redirect {

Watchdog::Watchdog(std::optional<std::chrono::seconds> limit, std::chrono::seconds grace,
                   Action stop, Action abandon)
    : limit_(limit),
      grace_(grace),
      stop_(std::move(stop)),
      abandon_(std::move(abandon)),
      deadline_(limit ? std::chrono::steady_clock::now() + *limit
                      : std::chrono::steady_clock::time_point::max()) {
    if (limit_) {
        thread_ = std::thread([this] { watch(); });
    }
}

Watchdog::~Watchdog() {
    end();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Watchdog::end() {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

bool Watchdog::expired() const {
    std::lock_guard lock(mutex_);
    return expired_;
}

std::chrono::steady_clock::time_point Watchdog::within(
    std::chrono::steady_clock::duration wait) const {
    return std::min(deadline_, std::chrono::steady_clock::now() + wait);
}

void Watchdog::watch() {
    std::unique_lock lock(mutex_);
    if (changed_.wait_until(lock, deadline_, [this] { return ended_; })) {
        return;
    }
    expired_ = true;
    lock.unlock();
    stop_();
    lock.lock();
    if (!changed_.wait_until(lock, deadline_ + grace_, [this] { return ended_; })) {
        lock.unlock();
        abandon_();
    }
}

}  // namespace varnox::redirect
