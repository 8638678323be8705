#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <vector>

#include "ftp/session.h"

class QWidget;

namespace varnox::windows {

// Runs the FTP window's calls off the user-interface thread. While a call runs, the window's
// event loop goes on (it repaints, moves, and the other windows work), the window's commands
// are held, and a call that lasts more than half a second shows a modal progress dialog
// with the file or folder, the bytes done and expected, the rate and the time left (or the
// entries read of a listing), and Cancel, which ends the call at once.
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
    // answer (false when the program is ending).
    bool askOnWindowThread(const std::function<bool()>& question);

private:
    void hold(bool held);

    ftp::Session& session_;
    QWidget* window_;
    std::vector<QWidget*> held_;
    std::vector<bool> wasEnabled_;
    bool running_ = false;
    std::atomic<bool> ending_{false};
};

}  // namespace varnox::windows
