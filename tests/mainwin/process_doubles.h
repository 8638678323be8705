#pragma once

#include <QProcess>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/process.h"

namespace varnox::test {

// The main-window tests' process runner: starts real programs through the system runner and
// keeps every start. With `endedAtOnce` set, a program has done its work and ended before
// anyone asks: start() runs it to its end, and every status read then reports exit status 0,
// or fails when the process is not `queryable` (it vanished before it could be opened).
class RecordingProcessRunner : public platform::ProcessRunner {
public:
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
        int processId = 0;
    };

    int start(const std::string& program, const std::vector<std::string>& arguments) override {
        if (endedAtOnce) {
            QStringList qArguments;
            for (const std::string& argument : arguments) {
                qArguments << QString::fromStdString(argument);
            }
            QProcess::execute(QString::fromStdString(program), qArguments);
        }
        const int processId = endedAtOnce ? 4242 : system_.start(program, arguments);
        starts.push_back({program, arguments, processId});
        return processId;
    }
    bool exitStatus(int processId, unsigned& status) override {
        if (!endedAtOnce) {
            return system_.exitStatus(processId, status);
        }
        ++statusReads;
        status = queryable ? 0 : status;
        return queryable;
    }

    std::vector<Start> starts;
    bool endedAtOnce = false;
    bool queryable = true;
    int statusReads = 0;

private:
    platform::SystemProcessRunner system_;
};

}  // namespace varnox::test
