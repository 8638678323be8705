#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "ftp/session.h"

class QProgressDialog;
class QWidget;

namespace varnox::windows {

// Runs the FTP window's calls off the user-interface thread. While a call runs, the window's
// event loop goes on (it repaints, moves, and the other windows work), the window's commands
// are held, and a call that lasts more than half a second shows a modal progress dialog
// with the file or folder, the bytes done and expected, the rate and the time left (or the
// entries read of a listing), and Cancel, which ends the call at once. A question the call
// asks meanwhile (a certificate to trust) is the only thing shown: the progress dialog is
// hidden while it is open, so it neither covers the question nor takes its input.
class FtpWorker {
public:
    static constexpr int kProgressAfterMilliseconds = 500;

    // What a call is shown as.
    struct Shown {
        QString what;          // "Getting DM-Deck16.unr.uz", "Listing /maps"
        bool listing = false;  // counts entries rather than bytes
    };

    // `held` are disabled while a call runs and given back as they were.
    FtpWorker(ftp::Session& session, QWidget* window, std::vector<QWidget*> held);

    // Runs `call` on a thread of its own and returns its result once it has ended. When the
    // program ends meanwhile, the call is cancelled, waited for, and ProgramEnding thrown.
    ftp::CallResult run(const Shown& shown, const std::function<ftp::CallResult()>& call);
    bool running() const { return running_; }

    // From the call's thread: asks `question` on the user-interface thread and returns its
    // answer (false when the program is ending, or when asking failed).
    bool askOnWindowThread(const std::function<bool()>& question);

private:
    void hold(bool held);
    // Shows the progress dialog of the running call, made on first use, with its latest figures.
    void showProgress();
    void updateProgress();

    ftp::Session& session_;
    QWidget* window_;
    std::vector<QWidget*> held_;
    std::vector<bool> wasEnabled_;
    bool running_ = false;
    std::atomic<bool> ending_{false};
    // The running call, as the user-interface thread knows it.
    const Shown* shown_ = nullptr;
    std::chrono::steady_clock::time_point started_;
    bool progressDue_ = false;  // the half second has passed
    bool questionOpen_ = false;
    QProgressDialog* dialog_ = nullptr;
};

}  // namespace varnox::windows
