#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace varnox::ucc::test {

struct ProgramResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program with an argument vector (no shell, so every argument reaches it as one
// argv element whatever it holds) in the given folder, and collects its output.
ProgramResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& folder);

}  // namespace varnox::ucc::test
