#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>

namespace varnox::ftp {

// The rule that ends a call on a server gone slow or silent: once the call has run for a whole
// `window`, the last `window` of it must have moved at least window × bytesPerSecond bytes
// (1 KiB a second on average, by default, over the last minute). Whatever moves counts: data
// either way and the server's replies. A server that sends nothing for a window, or trickles
// fewer bytes, has stalled the call; a pause shorter than the window after a fast stretch has not.
// The window is looked at in steps of 1/32 of it, so the stretch measured is up to a step longer.
class StallWatch {
public:
    using Clock = std::chrono::steady_clock;

    StallWatch(std::chrono::milliseconds window, std::size_t bytesPerSecond);

    // A new call begins: nothing has moved yet.
    void start(Clock::time_point now);
    void moved(std::uint64_t bytes) { total_ += bytes; }
    // Whether the call has stalled by `now`; asked often, in order of time.
    bool stalled(Clock::time_point now);

private:
    struct Sample {
        Clock::time_point at;
        std::uint64_t total = 0;
    };

    std::chrono::milliseconds window_;
    std::chrono::milliseconds step_;
    std::uint64_t needed_;
    std::uint64_t total_ = 0;
    std::deque<Sample> samples_;  // the oldest is the last one at least a window old
};

}  // namespace varnox::ftp
