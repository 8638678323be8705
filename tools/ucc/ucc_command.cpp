#include "tools/ucc/ucc_command.h"

#include <ctime>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <string_view>

#include "platform/failure.h"
#include "tools/ucc/package_names.h"
#include "tools/ucc/ucc_log.h"
#include "uz/files.h"

namespace varnox::ucc {

namespace {

namespace fs = std::filesystem;

constexpr const char* kLogName = "UCC.log";

std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// What reaches the terminal: a file name's control characters (C0, DEL and C1 as UTF-8)
// show as '?', so a name cannot move the cursor or recolour the terminal.
std::string terminalText(std::string_view text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next < 0xA0) {
            shown += '?';
            ++i;
        } else {
            shown += byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
        }
    }
    return shown;
}

// Where decompress puts packages: the folder named by -o, otherwise the game tool's own
// folder or, for a tool outside a game, the current folder.
struct Destination {
    std::optional<fs::path> named;

    fs::path folder(const ToolPlace& place) const {
        return named ? *named : place.gameTool ? place.folder : fs::path(".");
    }
    fs::path file(const ToolPlace& place, const std::string& name) const {
        return named || place.gameTool ? folder(place) / name : fs::path(name);
    }
};

// One run of the tool: the log (kept only by a game's tool) and the two output streams, and
// what each path needs.
class Run {
public:
    Run(const ToolPlace& place, std::ostream& out, std::ostream& err)
        : place_(place), out_(out), err_(err) {
        if (!place.gameTool) {
            return;
        }
        const fs::path file = place.folder / kLogName;
        log_.emplace(file);
        if (!log_->opened()) {
            err_ << "Warning: Cannot write the log " << terminalText(file.string()) << "\n";
        } else if (!log_->ownsLog()) {
            err_ << "Warning: Another run keeps the log " << terminalText(file.string())
                 << "; this run adds its lines to it\n";
        }
        logLine("Log", "Log file open, " + timestamp());
        logLine("Init", std::string("varnox ucc ") + VARNOX_VERSION);
    }

    ~Run() { logLine("Log", "Log file closed, " + timestamp()); }

    void result(const std::string& text) {
        logLine("Log", text);
        out_ << "Log: " << terminalText(text) << "\n";
    }

    void warning(const std::string& text) {
        logLine("Warning", text);
        err_ << "Warning: " << terminalText(text) << "\n";
    }

    void error(const std::string& text) {
        logLine("Error", text);
        err_ << "Error: " << terminalText(text) << "\n";
    }

    void compress(const std::string& path) {
        const std::string uzPath = path + ".uz";
        const uz::FileSizes sizes = uz::compressFile(path, uzPath);
        result("Compressed " + path + " -> " + uzPath + " (" +
               std::to_string(percentOfPackage(sizes.output, sizes.input)) + "%)");
        if (sizes.output > sizes.input) {
            warning(uzPath + " is larger than " + path + " (" + std::to_string(sizes.output) +
                    " > " + std::to_string(sizes.input) +
                    " bytes); old clients cannot download it");
        }
    }

    void decompress(const std::string& path, const Destination& destination) {
        const std::string name = decompressedName(path);
        // The game folder's tool is found without regard to letter case, so in the tool's own
        // folder any spelling of the tool's or the log's name would take their place.
        const std::string lowerName = lowerCase(name);
        if ((lowerName == lowerCase(kLogName) || lowerName == lowerCase(place_.fileName)) &&
            isToolFolder(destination.folder(place_))) {
            throw Failure(failure::kPermissionDenied, "Cannot decompress " + path + ": " + name +
                                                          " would replace the tool's own file");
        }
        const fs::path package = destination.file(place_, name);
        uz::decompressFile(path, package);
        result("Decompressed " + path + " -> " + (destination.named ? package.string() : name));
    }

    void verify(const std::string& path) {
        uz::verifyFile(path);
        result("Verified " + path);
    }

private:
    void logLine(std::string_view event, std::string_view text) {
        if (log_) {
            log_->line(event, text);
        }
    }

    bool isToolFolder(const fs::path& folder) const {
        std::error_code error;
        return fs::equivalent(folder, place_.folder, error) && !error;
    }

    const ToolPlace& place_;
    std::optional<UccLog> log_;
    std::ostream& out_;
    std::ostream& err_;
};

std::string usageError(const std::string& text) {
    return text + " (error " + std::to_string(failure::kInvalidValue) + ")";
}

// Takes decompress's -o DIR (also --output DIR and --output=DIR) out of the paths. No .uz
// file is named "-o" or "--output", so these never stand for a path.
std::optional<std::string> takeOutputOption(std::vector<std::string>& paths,
                                            Destination& destination) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::optional<std::string> folder;
        const std::string& arg = paths[i];
        if (arg == "-o" || arg == "--output") {
            if (i + 1 == paths.size()) {
                return usageError(arg + " needs a folder");
            }
            folder = paths[++i];
        } else if (arg.starts_with("--output=")) {
            folder = arg.substr(9);
        } else {
            rest.push_back(arg);
            continue;
        }
        if (destination.named) {
            return usageError("only one output folder can be given");
        }
        if (folder->empty()) {
            return usageError(arg + " needs a folder");
        }
        destination.named = *folder;
    }
    paths = std::move(rest);
    return std::nullopt;
}

}  // namespace

std::string usageText(const ToolPlace& place) {
    const std::string folder = terminalText(place.folder.string());
    const std::string decompressFolder =
        place.gameTool ? "this tool's own folder,\n                  " + folder + ","
                       : "the current folder,";
    const std::string thisCopy = place.gameTool
                                     ? "This copy stands in the game's System folder " + folder
                                     : "This copy, in " + folder + ", stands in none";
    return "Usage: ucc compress PATH...\n"
           "       ucc decompress [-o DIR] PATH.uz...\n"
           "       ucc verify PATH.uz...\n"
           "       ucc --help | --version\n"
           "\n"
           "compress PATH     writes PATH.uz beside the package (signature 1234, the\n"
           "                  package's bare file name stored inside); an existing\n"
           "                  PATH.uz is replaced.\n"
           "decompress PATH   writes the package into " +
           decompressFolder +
           "\n"
           "                  or with -o DIR (--output DIR) into DIR, named as the\n"
           "                  file's name less its last three characters, which must be\n"
           "                  .uz in any letter case. The name stored inside the file is\n"
           "                  not used. An existing package of that name is replaced,\n"
           "                  and only by a complete one. In the tool's own folder a\n"
           "                  package named as this tool or UCC.log, in any letter\n"
           "                  case, is refused.\n"
           "verify PATH       checks that the file decodes and that encoding its package\n"
           "                  again, with the file's own signature and stored name, gives\n"
           "                  the file byte for byte. Writes nothing but the log.\n"
           "\n"
           "Commands are taken in any letter case. Every argument after the command is a\n"
           "path, even one that starts with '-', except decompress's -o DIR. Paths are\n"
           "handled one after the other. Nothing is ever left half written: results go to a\n"
           "temporary file that replaces the target once complete, and SIGINT, SIGTERM or\n"
           "SIGHUP remove it before the run ends. Decompress and verify read and write in\n"
           "pieces, so their memory stays small whatever the package's size.\n"
           "\n"
           "The .uz format has no checksum. Damaged or cut files almost always end in an\n"
           "error, but now and then damage decodes to another package; verify tells some\n"
           "of those files, not all.\n"
           "\n"
           "Copied into a game's System folder (a folder named System in any letter case,\n"
           "as System/UCC.exe) ucc acts as the game's tool: decompress writes into that\n"
           "folder, and every run writes the log UCC.log there. Anywhere else it writes no\n"
           "log. " +
           thisCopy +
           ".\n\n"
           "The log is started afresh on every run. Runs at the same time take turns with\n"
           "it: a run waits up to 10 seconds for the one before, then adds its lines to the\n"
           "log as it is. It is single-byte text (paths as their bytes) with lines\n"
           "\"Event: text\" ending in CR LF:\n"
           "  Log: Log file open, YYYY-MM-DD HH:MM:SS\n"
           "  Init: varnox ucc VERSION\n"
           "  Log: Compressed PATH -> PATH.uz (P%)   P = .uz size / package size, rounded;\n"
           "                                         an empty package counts as one byte\n"
           "  Warning: PATH.uz is larger than PATH (U > N bytes); old clients cannot\n"
           "           download it                  (on the same line)\n"
           "  Log: Decompressed PATH.uz -> NAME     (-> DIR/NAME with -o DIR)\n"
           "  Log: Verified PATH.uz\n"
           "  Error: DESCRIPTION (error N)           one per failed path or usage error\n"
           "  Log: Log file closed, YYYY-MM-DD HH:MM:SS\n"
           "Result lines go to standard output, warnings and errors to standard error (with\n"
           "a file name's control characters shown as '?'), as well as to the log.\n"
           "\n"
           "Exit status: 0 when every path succeeded, 1 when any failed (for verify: any\n"
           "file that does not decode or encode back to itself), 2 for a usage error (no\n"
           "command, an unknown command, no path, or -o without a folder or twice).\n"
           "--help and --version write no log.\n";
}

std::string versionText() {
    return std::string("ucc (varnox) ") + VARNOX_VERSION + "\n";
}

int runUcc(const std::vector<std::string>& args, const ToolPlace& place, std::ostream& out,
           std::ostream& err) {
    const std::string command = args.empty() ? "" : lowerCase(args[0]);
    if (command == "help" || command == "-h" || command == "--help") {
        out << usageText(place);
        return kExitSuccess;
    }
    if (command == "--version") {
        out << versionText();
        return kExitSuccess;
    }
    Run run(place, out, err);
    std::vector<std::string> paths(args.begin() + (args.empty() ? 0 : 1), args.end());
    Destination destination;
    std::optional<std::string> usage;
    if (args.empty()) {
        usage = usageError("no command given");
    } else if (command != "compress" && command != "decompress" && command != "verify") {
        usage = usageError("unknown command " + args[0]);
    } else {
        if (command == "decompress") {
            usage = takeOutputOption(paths, destination);
        }
        if (!usage && paths.empty()) {
            usage = usageError("no path given to " + command);
        }
    }
    if (usage) {
        run.error(*usage);
        err << usageText(place);
        return kExitUsage;
    }
    std::error_code error;
    if (destination.named && !fs::is_directory(*destination.named, error)) {
        run.error("Cannot decompress into " + destination.named->string() +
                  ": there is no such folder (error " + std::to_string(failure::kPathNotFound) +
                  ")");
        return kExitFailure;
    }

    int status = kExitSuccess;
    for (const std::string& path : paths) {
        try {
            if (command == "compress") {
                run.compress(path);
            } else if (command == "decompress") {
                run.decompress(path, destination);
            } else {
                run.verify(path);
            }
        } catch (const Failure& failure) {
            run.error(failure.description() + " (error " + std::to_string(failure.number()) + ")");
            status = kExitFailure;
        } catch (const std::bad_alloc&) {
            run.error("Cannot " + command + " " + path + ": out of memory (error 7)");
            status = kExitFailure;
        } catch (const std::exception& e) {
            run.error("Cannot " + command + " " + path + ": " + e.what() + " (error 51)");
            status = kExitFailure;
        }
    }
    return status;
}

}  // namespace varnox::ucc
