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

void FtpWorker::updateProgress() {
    const ftp::Session::Done progress = session_.progress();
    QString detail;
    if (shown_->listing) {
        detail = QStringLiteral("%1 entries read").arg(progress.entries);
    } else {
        detail = fromBytes(platform::describeProgress(progress.bytes, progress.total,
                                                      std::chrono::steady_clock::now() - started_));
        if (progress.total > 0) {
            dialog_->setMaximum(kShownSteps);
            dialog_->setValue(static_cast<int>(std::min<std::uint64_t>(
                progress.bytes * kShownSteps / progress.total, kShownSteps - 1)));
        }
    }
    dialog_->setLabelText(shortened(shown_->what) + QChar('\n') + detail);
}

void FtpWorker::showProgress() {
    if (dialog_ == nullptr) {
        dialog_ = new QProgressDialog(window_);
        dialog_->setObjectName(QStringLiteral("dlgProgress"));
        dialog_->setWindowTitle(QStringLiteral("varnox"));
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->setMinimumDuration(0);
        dialog_->setRange(0, 0);  // a moving bar while the total is unknown
        QObject::connect(dialog_, &QProgressDialog::canceled, dialog_,
                         [this] { session_.cancel(); });
    }
    updateProgress();
    dialog_->show();
}

ftp::CallResult FtpWorker::run(const Shown& shown, const std::function<ftp::CallResult()>& call) {
    running_ = true;
    hold(true);
    shown_ = &shown;
    started_ = std::chrono::steady_clock::now();
    ftp::CallResult result;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread thread([&] {
        result = call();
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    QTimer updates;
    updates.setInterval(100);
    QObject::connect(&updates, &QTimer::timeout, &loop, [this] {
        // Not while a question is open: the dialog's first value would show it again.
        if (dialog_ != nullptr && !questionOpen_) {
            updateProgress();
        }
    });
    QTimer::singleShot(kProgressAfterMilliseconds, &loop, [&] {
        progressDue_ = true;
        if (!questionOpen_) {
            showProgress();
        }
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
    delete dialog_;
    dialog_ = nullptr;
    progressDue_ = false;
    shown_ = nullptr;
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
        window_,
        [&] {
            if (ending_) {
                return;
            }
            // The question alone is shown; the progress comes back once it is answered.
            questionOpen_ = true;
            if (dialog_ != nullptr) {
                dialog_->hide();
            }
            try {
                answer = question();
            } catch (...) {
                answer = false;  // nothing may leave into the event loop; not trusted
            }
            questionOpen_ = false;
            if (progressDue_ && !ending_) {
                showProgress();
            }
        },
        Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace varnox::windows
