#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace varnox::platform {

// Starts outside programs and reports whether they still run. A started program is never
// stopped by this side: it outlives the program that started it.
class ProcessRunner {
public:
    // The status a running process reports, as the original platform did.
    static constexpr unsigned kStillActive = 259;

    virtual ~ProcessRunner() = default;

    // Starts `program` with `arguments` (each one argument, no shell) and returns its id.
    // Throws varnox::Failure naming the program when it cannot be started.
    virtual int start(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments) = 0;

    // Reads the status of a started process into `status`: kStillActive while it runs, its
    // exit status once it has ended. Returns false, leaving `status` untouched, when the
    // process cannot be queried (unknown, or already reported as ended).
    virtual bool exitStatus(int processId, unsigned& status) = 0;
};

// The real runner: posix_spawn in a session of its own (so closing the terminal or the
// program leaves the tool running), standard input from /dev/null.
class SystemProcessRunner : public ProcessRunner {
public:
    int start(const std::filesystem::path& program,
              const std::vector<std::string>& arguments) override;
    bool exitStatus(int processId, unsigned& status) override;
};

}  // namespace varnox::platform
