#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace varnox::platform {

// How a started process stands: still running, or ended with its exit status (128 plus the
// signal's number for one that a signal ended).
struct ProcessStatus {
    enum class State { kRunning, kEnded };
    State state = State::kEnded;
    unsigned exitStatus = 0;

    bool running() const { return state == State::kRunning; }
};

// Starts outside programs and reports whether they still run. A started program is never
// stopped by this side: it outlives the program that started it.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;

    // Starts `program` with `arguments` (each one argument, no shell) and returns its id.
    // Throws varnox::Failure naming the program when it cannot be started.
    virtual int start(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments) = 0;

    // How a started process stands; nothing when it cannot be queried (unknown, or already
    // reported as ended).
    virtual std::optional<ProcessStatus> status(int processId) = 0;
};

// The real runner: posix_spawn in a session of its own (so closing the terminal or the
// program leaves the tool running), standard input from /dev/null.
class SystemProcessRunner : public ProcessRunner {
public:
    int start(const std::filesystem::path& program,
              const std::vector<std::string>& arguments) override;
    std::optional<ProcessStatus> status(int processId) override;
};

}  // namespace varnox::platform
