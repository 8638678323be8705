#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "redirect/package_list.h"
#include "redirect/setup.h"

namespace varnox::redirect {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // an item failed, or the settings or the server did
constexpr int kExitUsage = 2;    // the command line is wrong

enum class Command { kStatus, kNeeds, kCompress, kUpload, kSync, kCheck, kTrust, kHelp, kVersion };

struct Options {
    Command command = Command::kHelp;
    SetupOverrides setup;
    PackageRule packages;  // --all, --system, --ini, --stock, --include-stock
    bool dryRun = false;
    bool remove = false;  // upload: .uz files on the server that no package accounts for
    bool quiet = false;
    bool json = false;
    bool timestamps = false;  // every text line starts with the local time
    // compress: a .uz without a record is compared with its package by decoding; upload: a
    // server copy without a record is downloaded and compared
    bool verify = false;
    bool quick = false;  // check: sizes only
    unsigned jobs = 1;
    std::optional<std::chrono::seconds> timeout;  // for the whole run
    std::optional<std::string> fingerprint;       // trust: the SHA-256 to accept
    std::optional<std::string> url;               // check: in place of RedirectToURL
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
