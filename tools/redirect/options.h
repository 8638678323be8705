#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "redirect/setup.h"

namespace varnox::redirect {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // an item failed, or the settings or the server did
constexpr int kExitUsage = 2;    // the command line is wrong

enum class Command { kStatus, kCompress, kUpload, kSync, kHelp, kVersion };

struct Options {
    Command command = Command::kHelp;
    SetupOverrides setup;
    bool withSystem = false;
    bool dryRun = false;
    bool quiet = false;
    bool json = false;
    unsigned jobs = 1;
};

// A command line that cannot be run; the text says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments after the program name. `passwordVariable` is the value of
// VARNOX_FTP_PASSWORD, or null; `defaultConfig` the settings file read without --config.
Options parseOptions(const std::vector<std::string>& args, const char* passwordVariable,
                     const std::filesystem::path& defaultConfig);

// The full description that --help prints.
std::string helpText();

}  // namespace varnox::redirect
