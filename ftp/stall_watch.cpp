#include "ftp/stall_watch.h"

#include <algorithm>

namespace varnox::ftp {

StallWatch::StallWatch(std::chrono::milliseconds window, std::size_t bytesPerSecond)
    : window_(std::max(window, std::chrono::milliseconds(1))),
      step_(std::max(window_ / 32, std::chrono::milliseconds(1))),
      needed_(static_cast<std::uint64_t>(bytesPerSecond) *
              static_cast<std::uint64_t>(window_.count()) / 1000) {}

void StallWatch::start(Clock::time_point now) {
    total_ = 0;
    samples_.assign(1, Sample{now, 0});
}

bool StallWatch::stalled(Clock::time_point now) {
    if (samples_.empty()) {
        start(now);
    }
    if (now - samples_.back().at >= step_) {
        samples_.push_back(Sample{now, total_});
    }
    const Clock::time_point windowStart = now - window_;
    while (samples_.size() > 1 && samples_[1].at <= windowStart) {
        samples_.pop_front();
    }
    return samples_.front().at <= windowStart && total_ - samples_.front().total < needed_;
}

}  // namespace varnox::ftp
