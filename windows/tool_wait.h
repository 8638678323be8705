#pragma once

#include <QString>
#include <functional>

#include "packages/package_commands.h"
#include "platform/process.h"

namespace varnox::windows {

// Runs the game tool and waits for it while the windows go on: the tool's process is polled
// about ten times a second from a timer in an event loop of its own, so every pending event
// of every window is handled between polls and any handler, a second command included, runs
// to its end inside the wait. There is no time limit, no control is disabled and the tool is
// never stopped.
//
// One pass: read the tool's status, let the windows work for 100 ms, then show the progress
// text with one more dot (one to nine, the tenth pass one again); the wait ends after the
// first pass that read a status other than "still running". A status that cannot be read
// stays as it was, so a tool that can no longer be asked ends the wait after one pass.
//
// When the program ends during the wait, the wait throws ProgramEnding (message_boxes.h):
// the command stops where it is and the tool runs on.
class EventLoopToolRunner : public packages::ToolRunner {
public:
    static constexpr int kPollMilliseconds = 100;
    static constexpr int kMostDots = 9;

    EventLoopToolRunner(platform::ProcessRunner& processes,
                        std::function<void(const QString&)> showProgress);

    void runAndWait(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                    const std::optional<std::string>& progressText) override;

private:
    platform::ProcessRunner& processes_;
    std::function<void(const QString&)> showProgress_;
};

}  // namespace varnox::windows
