#include "windows/ftp_worker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <thread>

#include "platform/progress_text.h"
#include "windows/message_boxes.h"
#include "windows/text.h"

namespace varnox::windows {

namespace {

constexpr int kShownSteps = 1000;

}  // namespace

FtpWorker::FtpWorker(ftp::Session& session, QWidget* window, std::vector<QWidget*> held)
    : session_(session), window_(window), held_(std::move(held)) {}

void FtpWorker::hold(bool held) {
    if (held) {
        wasEnabled_.clear();
        for (QWidget* control : held_) {
            wasEnabled_.push_back(control->isEnabled());
            control->setEnabled(false);
        }
        return;
    }
    for (std::size_t i = 0; i < held_.size(); ++i) {
        held_[i]->setEnabled(wasEnabled_[i]);
    }
}

ftp::CallResult FtpWorker::run(const Shown& shown, const std::function<ftp::CallResult()>& call) {
    running_ = true;
    hold(true);
    ftp::CallResult result;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread thread([&] {
        result = call();
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    const auto started = std::chrono::steady_clock::now();
    QProgressDialog* dialog = nullptr;
    auto update = [&] {
        const ftp::Session::Done progress = session_.progress();
        QString detail;
        if (shown.listing) {
            detail = QStringLiteral("%1 entries read").arg(progress.entries);
        } else {
            detail = fromBytes(platform::describeProgress(
                progress.bytes, progress.total, std::chrono::steady_clock::now() - started));
            if (progress.total > 0) {
                dialog->setMaximum(kShownSteps);
                dialog->setValue(static_cast<int>(std::min<std::uint64_t>(
                    progress.bytes * kShownSteps / progress.total, kShownSteps - 1)));
            }
        }
        dialog->setLabelText(shortened(shown.what) + QChar('\n') + detail);
    };
    QTimer updates;
    updates.setInterval(100);
    QObject::connect(&updates, &QTimer::timeout, &loop, [&] {
        if (dialog != nullptr) {
            update();
        }
    });
    QTimer::singleShot(kProgressAfterMilliseconds, &loop, [&] {
        dialog = new QProgressDialog(window_);
        dialog->setObjectName(QStringLiteral("dlgProgress"));
        dialog->setWindowTitle(QStringLiteral("varnox"));
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setAutoReset(false);
        dialog->setAutoClose(false);
        dialog->setMinimumDuration(0);
        dialog->setRange(0, 0);  // a moving bar while the total is unknown
        QObject::connect(dialog, &QProgressDialog::canceled, &loop, [this] { session_.cancel(); });
        update();
        dialog->show();
        updates.start();
    });
    loop.exec();

    const bool programEnding = !done;
    if (programEnding) {
        ending_ = true;
        session_.cancel();
        // The call may be waiting for an answer on this thread; keep answering until it ends.
        while (!done) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    thread.join();
    delete dialog;
    hold(false);
    running_ = false;
    if (programEnding) {
        throw ProgramEnding{};
    }
    return result;
}

bool FtpWorker::askOnWindowThread(const std::function<bool()>& question) {
    if (ending_) {
        return false;
    }
    bool answer = false;
    QMetaObject::invokeMethod(
        window_, [&] { answer = !ending_ && question(); }, Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace varnox::windows
