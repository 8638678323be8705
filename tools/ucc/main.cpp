// ucc: the game tool's command lines, compress and decompress, and verify, on the .uz codec.
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/signal_cleanup.h"
#include "tools/ucc/tool_place.h"
#include "tools/ucc/ucc_command.h"

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Removes the temporary file being written, then lets the signal end the process as it
// would have without the handler (SA_RESETHAND has put the default action back; the signal
// raised here arrives once the handler returns).
extern "C" void endOnSignal(int sig) {
    varnox::platform::removeTemporaryFilesNow();
    ::raise(sig);
}

void handleEndingSignals() {
    struct sigaction action {};
    action.sa_handler = endOnSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : kEndingSignals) {
        sigaddset(&action.sa_mask, sig);
    }
    action.sa_flags = SA_RESETHAND;
    for (int sig : kEndingSignals) {
        struct sigaction previous {};
        // A signal the caller chose to ignore (nohup, say) stays ignored.
        if (::sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            ::sigaction(sig, &action, nullptr);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    handleEndingSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    varnox::ucc::ToolPlace place;
    try {
        place = varnox::ucc::runningToolPlace(argc > 0 ? argv[0] : "");
    } catch (const varnox::Failure& failure) {
        std::cerr << "Error: " << failure.description() << " (error " << failure.number() << ")\n";
        return varnox::ucc::kExitFailure;
    }
    return varnox::ucc::runUcc(args, place, std::cout, std::cerr);
}
