#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace varnox::test {

// How a started program ended, and what it wrote when its output went to files.
struct ProgramEnd {
    int exitCode = -1;  // -1 when a signal ended it
    int signal = 0;     // the signal that ended it
    std::string out, err;
    long peakKiB = 0;  // its peak resident memory
};

// Starts `program` with an argument vector (no shell: every argument reaches it whole) in
// `folder` (empty: this one), with no input and its output going to the files "out" and
// "err" in `output` (empty: nowhere). The signals our programs handle start with their
// default action.
pid_t startProgram(const std::filesystem::path& program, std::vector<std::string> args,
                   const std::filesystem::path& folder = {},
                   const std::filesystem::path& output = {});
// Waits for a started program to end; what it wrote is read from `output` when given.
ProgramEnd waitForProgram(pid_t pid, const std::filesystem::path& output = {});

}  // namespace varnox::test
