#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/programs.h"

// varnox-redirect as the tests run it: the program we build, as a child process with a
// settings file, its output going to files in a folder.
namespace varnox::redirect {

// Starts the program with `--config config` before `args`; its output goes to `output`.
pid_t startRedirect(const std::filesystem::path& config, std::vector<std::string> args,
                    const std::filesystem::path& output);
// Starts the program as startRedirect() does and waits for it to end.
test::ProgramEnd runRedirect(const std::filesystem::path& config, std::vector<std::string> args,
                             const std::filesystem::path& output);

// Expects each of `lines` somewhere in `out`.
void expectSaid(const std::string& out, const std::vector<std::string>& lines);

}  // namespace varnox::redirect
