#include "tools/redirect/options.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <thread>

#include "redirect/folder_target.h"

namespace varnox::redirect {

namespace {

constexpr unsigned kMostJobs = 256;

const std::map<std::string, Command, std::less<>> kCommands = {
    {"status", Command::kStatus}, {"needs", Command::kNeeds}, {"compress", Command::kCompress},
    {"upload", Command::kUpload}, {"sync", Command::kSync},   {"check", Command::kCheck},
    {"trust", Command::kTrust},   {"help", Command::kHelp},
};

// An option that only some commands take.
void belongsTo(bool given, const char* option, Command command, std::vector<Command> commands,
               const char* names) {
    if (given && std::find(commands.begin(), commands.end(), command) == commands.end()) {
        throw UsageError(std::string(option) + " belongs to " + names);
    }
}

unsigned jobsFrom(const std::string& text) {
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error != std::errc() || end != text.data() + text.size() || jobs == 0 || jobs > kMostJobs) {
        throw UsageError("--jobs takes a number from 1 to " + std::to_string(kMostJobs) +
                         ", not '" + text + "'");
    }
    return jobs;
}

// A whole number of seconds from 1 to a week.
std::chrono::seconds secondsFrom(const std::string& text) {
    constexpr unsigned kWeek = 7 * 24 * 3600;
    unsigned seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds == 0 ||
        seconds > kWeek) {
        throw UsageError("--timeout takes a number of seconds from 1 to " + std::to_string(kWeek) +
                         ", not '" + text + "'");
    }
    return std::chrono::seconds(seconds);
}

// Walks the arguments: "--name value" and "--name=value" alike.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

    bool next() {
        if (index_ >= args_.size()) {
            return false;
        }
        current_ = args_[index_++];
        inlineValue_.reset();
        if (current_.starts_with("--")) {
            if (const auto equals = current_.find('='); equals != std::string::npos) {
                inlineValue_ = current_.substr(equals + 1);
                current_.resize(equals);
            }
        }
        return true;
    }
    const std::string& current() const { return current_; }
    std::string value() {
        if (inlineValue_) {
            return *inlineValue_;
        }
        if (index_ >= args_.size()) {
            throw UsageError(current_ + " needs a value");
        }
        return args_[index_++];
    }
    void noValue() const {
        if (inlineValue_) {
            throw UsageError(current_ + " takes no value");
        }
    }

private:
    const std::vector<std::string>& args_;
    std::size_t index_ = 0;
    std::string current_;
    std::optional<std::string> inlineValue_;
};

}  // namespace

Options parseOptions(const std::vector<std::string>& args, const char* passwordVariable,
                     const std::filesystem::path& defaultConfig) {
    Options options;
    options.jobs = std::max(1u, std::thread::hardware_concurrency());
    options.setup.configFile = defaultConfig;
    if (passwordVariable != nullptr) {
        options.setup.passwordFromEnvironment = passwordVariable;
    }
    std::optional<Command> command;
    bool help = false;
    bool version = false;
    ArgumentReader reader(args);
    const std::map<std::string, bool*, std::less<>> flags = {
        {"--system", &options.packages.withSystem},
        {"--all", &options.packages.all},
        {"--include-stock", &options.packages.includeStock},
        {"--delete", &options.remove},
        {"--quick", &options.quick},
        {"--dry-run", &options.dryRun},
        {"--quiet", &options.quiet},
        {"--json", &options.json},
        {"--timestamps", &options.timestamps},
        {"--verify", &options.verify},
        {"--help", &help},
        {"-h", &help},
        {"--version", &version},
    };
    while (reader.next()) {
        const std::string& arg = reader.current();
        if (auto flag = flags.find(arg); flag != flags.end()) {
            reader.noValue();
            *flag->second = true;
        } else if (arg == "--passive" || arg == "--active") {
            reader.noValue();
            options.setup.passive = arg == "--passive";
        } else if (arg == "--game") {
            options.setup.gameFolder = reader.value();
        } else if (arg == "--config") {
            options.setup.configFile = reader.value();
            options.setup.configNamed = true;
        } else if (arg == "--server") {
            options.setup.server = reader.value();
            std::string why;
            if (isFileUrl(*options.setup.server) && !folderOfFileUrl(*options.setup.server, why)) {
                throw UsageError("--server " + why);
            }
        } else if (arg == "--user") {
            options.setup.user = reader.value();
        } else if (arg == "--password-file") {
            options.setup.passwordFile = reader.value();
        } else if (arg == "--identity") {
            options.setup.identity = reader.value();
        } else if (arg == "--remote") {
            options.setup.remoteFolder = reader.value();
        } else if (arg == "--jobs" || arg == "-j") {
            options.jobs = jobsFrom(reader.value());
        } else if (arg == "--timeout") {
            options.timeout = secondsFrom(reader.value());
        } else if (arg == "--fingerprint") {
            options.fingerprint = reader.value();
        } else if (arg == "--ini") {
            options.packages.iniFile = reader.value();
        } else if (arg == "--stock") {
            options.packages.stockFiles.emplace_back(reader.value());
        } else if (arg == "--url") {
            options.url = reader.value();
        } else if (arg == "--password") {
            throw UsageError(
                "a password is never given on the command line (other users can read it there): "
                "use --password-file FILE or the variable VARNOX_FTP_PASSWORD");
        } else if (arg.starts_with("-")) {
            throw UsageError("unknown option " + arg);
        } else if (command) {
            throw UsageError("one command at a time, not '" + arg + "' as well");
        } else if (auto known = kCommands.find(arg); known != kCommands.end()) {
            command = known->second;
        } else {
            throw UsageError("unknown command '" + arg + "'");
        }
    }
    if (help) {
        options.command = Command::kHelp;
    } else if (version) {
        options.command = Command::kVersion;
    } else if (!command) {
        throw UsageError("no command: status, needs, compress, upload, sync, check or trust");
    } else {
        options.command = *command;
    }
    const Command c = options.command;
    if (c == Command::kHelp || c == Command::kVersion) {
        return options;
    }
    belongsTo(options.fingerprint.has_value(), "--fingerprint", c, {Command::kTrust},
              "the trust command");
    belongsTo(options.url.has_value(), "--url", c, {Command::kCheck}, "the check command");
    belongsTo(options.quick, "--quick", c, {Command::kCheck}, "the check command");
    belongsTo(options.remove, "--delete", c, {Command::kUpload, Command::kSync}, "upload and sync");
    return options;
}

}  // namespace varnox::redirect
