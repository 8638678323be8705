#include "windows/tool_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <utility>

#include "windows/message_boxes.h"
#include "windows/text.h"

namespace varnox::windows {

namespace {

// Waits in progress, one inside the other: only the innermost one polls, so a wait that
// began inside another runs to its end before the outer one goes on.
int waitsInProgress = 0;

struct WaitLevel {
    int level = ++waitsInProgress;
    ~WaitLevel() { --waitsInProgress; }
    bool innermost() const { return level == waitsInProgress; }
};

}  // namespace

EventLoopToolRunner::EventLoopToolRunner(platform::ProcessRunner& processes,
                                         std::function<void(const QString&)> showProgress)
    : processes_(processes), showProgress_(std::move(showProgress)) {}

void EventLoopToolRunner::runAndWait(const std::filesystem::path& program,
                                     const std::vector<std::string>& arguments,
                                     const std::optional<std::string>& progressText) {
    const int processId = processes_.start(program, arguments);
    const WaitLevel wait;
    platform::ProcessStatus status;  // ended, until a query says otherwise
    int dots = 0;
    bool ended = false;
    QEventLoop loop;
    QTimer pass;
    pass.setSingleShot(true);
    pass.setInterval(kPollMilliseconds);
    QObject::connect(&pass, &QTimer::timeout, &loop, [&] {
        if (!wait.innermost()) {
            pass.start();  // held until the wait inside this one has ended
            return;
        }
        if (progressText) {
            dots = dots % kMostDots + 1;
            showProgress_(fromBytes(*progressText) + QString(dots, QLatin1Char('.')));
        }
        if (!status.running()) {
            ended = true;
            loop.quit();
            return;
        }
        status = processes_.status(processId).value_or(status);
        pass.start();
    });
    status = processes_.status(processId).value_or(status);
    pass.start();
    loop.exec();
    if (!ended) {
        throw ProgramEnding{};  // the application is leaving its event loops
    }
}

}  // namespace varnox::windows
