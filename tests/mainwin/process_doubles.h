#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace varnox::test {

// The main-window tests' process runner: starts real programs through the system runner, or
// through a substitute when one is set, and keeps every start.
class RecordingProcessRunner : public platform::ProcessRunner {
public:
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
        int processId = 0;
    };

    int start(const std::string& program, const std::vector<std::string>& arguments) override {
        const int processId = runner().start(program, arguments);
        starts.push_back({program, arguments, processId});
        return processId;
    }
    bool exitStatus(int processId, unsigned& status) override {
        return runner().exitStatus(processId, status);
    }

    platform::ProcessRunner* substitute = nullptr;
    std::vector<Start> starts;

private:
    platform::ProcessRunner& runner() { return substitute ? *substitute : system_; }
    platform::SystemProcessRunner system_;
};

// A tool that has done its work and ended before anyone asks: start() runs `work` with the
// arguments and returns an id; every status read then reports exit status 0, or fails when
// the process is not `queryable` (it vanished before it could be opened).
class EndedProcessRunner : public platform::ProcessRunner {
public:
    int start(const std::string&, const std::vector<std::string>& arguments) override {
        if (work) {
            work(arguments);
        }
        return 4242;
    }
    bool exitStatus(int, unsigned& status) override {
        ++statusReads;
        if (!queryable) {
            return false;
        }
        status = 0;
        return true;
    }

    std::function<void(const std::vector<std::string>&)> work;
    bool queryable = true;
    int statusReads = 0;
};

}  // namespace varnox::test
