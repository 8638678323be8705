#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// The time limit of a whole run, for programs that cron or systemd start and nobody watches.
namespace varnox::redirect {

// Watches a run's time limit on a thread of its own. When the limit passes, `stop` is
// called once; when the run has not ended `grace` after the limit, `abandon` is called once,
// to leave in the hardest way. Neither may throw. Without a limit nothing is watched.
class Watchdog {
public:
    using Action = std::function<void()>;

    Watchdog(std::optional<std::chrono::seconds> limit, std::chrono::seconds grace, Action stop,
             Action abandon);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The run has ended; no action is called from now on.
    void end();
    bool expired() const;
    std::optional<std::chrono::seconds> limit() const { return limit_; }
    // The end of a wait of `wait`, or the limit's if that comes first.
    std::chrono::steady_clock::time_point within(std::chrono::steady_clock::duration wait) const;

private:
    void watch();

    std::optional<std::chrono::seconds> limit_;
    std::chrono::seconds grace_;
    Action stop_;
    Action abandon_;
    std::chrono::steady_clock::time_point deadline_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    bool expired_ = false;
    std::thread thread_;
};

}  // namespace varnox::redirect
