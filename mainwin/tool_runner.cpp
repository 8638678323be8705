#include "mainwin/tool_runner.h"

#include <QCoreApplication>
#include <chrono>
#include <thread>
#include <utility>

namespace varnox::mainwin {

ToolRunner::ToolRunner(platform::ProcessRunner& processes,
                       std::function<void(const QString&)> showProgress)
    : processes_(processes), showProgress_(std::move(showProgress)) {}

void ToolRunner::runAndWait(const std::string& program, const std::vector<std::string>& arguments,
                            const std::optional<QString>& progressText) {
    const int processId = processes_.start(program, arguments);
    // A status that cannot be read stays as it was, so a process that can no longer be
    // queried ends the wait after one pass.
    unsigned status = 0;
    int dots = 0;
    do {
        processes_.exitStatus(processId, status);
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
        if (progressText) {
            dots += 1;
            if (dots == kMostDots + 1) {
                dots = 1;
            }
            showProgress_(*progressText + QString(dots, QLatin1Char('.')));
        }
    } while (status == platform::ProcessRunner::kStillActive);
}

}  // namespace varnox::mainwin
