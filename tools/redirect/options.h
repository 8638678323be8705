#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "redirect/setup.h"

namespace varnox::redirect {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // an item failed, or the settings or the server did
constexpr int kExitUsage = 2;    // the command line is wrong

enum class Command { kStatus, kCompress, kUpload, kSync, kTrust, kHelp, kVersion };

struct Options {
    Command command = Command::kHelp;
    SetupOverrides setup;
    bool withSystem = false;
    bool dryRun = false;
    bool quiet = false;
    bool json = false;
    bool timestamps = false;  // every text line starts with the local time
    bool verify = false;      // a .uz without a record is compared with its package by decoding
    unsigned jobs = 1;
    std::optional<std::chrono::seconds> timeout;  // for the whole run
    std::optional<std::string> fingerprint;       // trust: the SHA-256 to accept
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
