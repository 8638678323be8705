#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace varnox::mainwin {

// Runs the game tool and waits for it on the user-interface thread. The tool's process is
// polled about ten times a second; between polls every pending event of every window is
// handled, so the windows keep answering and any handler, a second command included, runs
// to its end inside the wait. There is no time limit, no control is disabled and the tool
// is never stopped.
class ToolRunner {
public:
    static constexpr int kPollMilliseconds = 100;
    static constexpr int kMostDots = 9;

    // `showProgress` receives the progress text with its dots on every pass.
    ToolRunner(platform::ProcessRunner& processes,
               std::function<void(const QString&)> showProgress);

    // Starts `program` with `arguments` (each one argument, no shell) and returns once it has
    // ended, at least one pass after it was started. When `progressText` is given, every
    // pass shows it followed by one to nine dots, the tenth pass one again. A program that
    // cannot be started throws varnox::Failure and nothing is waited for. The tool's exit
    // status is not returned: the commands judge the tool by the files it leaves.
    void runAndWait(const std::string& program, const std::vector<std::string>& arguments,
                    const std::optional<QString>& progressText = std::nullopt);

private:
    platform::ProcessRunner& processes_;
    std::function<void(const QString&)> showProgress_;
};

}  // namespace varnox::mainwin
