#include "tools/ucc/ucc_command.h"

#include <ctime>
#include <exception>
#include <new>

#include "platform/failure.h"
#include "tools/ucc/package_names.h"
#include "tools/ucc/ucc_log.h"
#include "uz/files.h"

namespace varnox::ucc {

namespace {

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

// One run of the tool: the log and the two output streams, and what each path needs.
class Run {
public:
    Run(const ToolPlace& place, std::ostream& out, std::ostream& err)
        : place_(place), log_(place.folder / kLogName), out_(out), err_(err) {
        if (!log_.opened()) {
            err_ << "Warning: Cannot write the log " << (place.folder / kLogName).string() << "\n";
        } else if (!log_.ownsLog()) {
            err_ << "Warning: Another run keeps the log " << (place.folder / kLogName).string()
                 << "; this run adds its lines to it\n";
        }
        log_.line("Log", "Log file open, " + timestamp());
        log_.line("Init", std::string("varnox ucc ") + VARNOX_VERSION);
    }

    ~Run() { log_.line("Log", "Log file closed, " + timestamp()); }

    void result(const std::string& text) {
        log_.line("Log", text);
        out_ << "Log: " << UccLog::clean(text) << "\n";
    }

    void warning(const std::string& text) {
        log_.line("Warning", text);
        err_ << "Warning: " << UccLog::clean(text) << "\n";
    }

    void error(const std::string& text) {
        log_.line("Error", text);
        err_ << "Error: " << UccLog::clean(text) << "\n";
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

    void decompress(const std::string& path) {
        const std::string name = decompressedName(path);
        // The game folder's tool is found without regard to letter case, so any spelling of
        // the tool's or the log's name would take their place.
        const std::string lowerName = lowerCase(name);
        if (lowerName == lowerCase(kLogName) || lowerName == lowerCase(place_.fileName)) {
            throw Failure(failure::kPermissionDenied, "Cannot decompress " + path + ": " + name +
                                                          " would replace the tool's own file");
        }
        uz::decompressFile(path, place_.folder / name);
        result("Decompressed " + path + " -> " + name);
    }

    void verify(const std::string& path) {
        uz::verifyFile(path);
        result("Verified " + path);
    }

private:
    const ToolPlace& place_;
    UccLog log_;
    std::ostream& out_;
    std::ostream& err_;
};

}  // namespace

std::string usageText(const ToolPlace& place) {
    return std::string(
               "Usage: ucc compress PATH...\n"
               "       ucc decompress PATH.uz...\n"
               "       ucc verify PATH.uz...\n"
               "\n"
               "compress PATH     writes PATH.uz beside the package (signature 1234, the\n"
               "                  package's bare file name stored inside); an existing\n"
               "                  PATH.uz is replaced.\n"
               "decompress PATH   writes the package into this tool's own folder,\n"
               "                  ") +
           place.folder.string() +
           ",\n"
           "                  named as the file's name less its last three characters,\n"
           "                  which must be .uz in any letter case. The name stored inside\n"
           "                  the file is not used. An existing package of that name is\n"
           "                  replaced, and only by a complete one. A package named as\n"
           "                  this tool or UCC.log, in any letter case, is refused.\n"
           "verify PATH       checks that the file decodes and that encoding its package\n"
           "                  again, with the file's own signature and stored name, gives\n"
           "                  the file byte for byte. Writes nothing but the log.\n"
           "\n"
           "Commands are taken in any letter case. Every argument after the command is a\n"
           "path, even one that starts with '-'. Paths are handled one after the other.\n"
           "Nothing is ever left half written: results go to a temporary file that replaces\n"
           "the target once complete, and SIGINT, SIGTERM or SIGHUP remove it before the\n"
           "run ends. Decompress and verify read and write in pieces, so their memory stays\n"
           "small whatever the package's size.\n"
           "\n"
           "The .uz format has no checksum. Damaged or cut files almost always end in an\n"
           "error, but now and then damage decodes to another package; verify tells some\n"
           "of those files, not all.\n"
           "\n"
           "The log UCC.log in the tool's own folder is started afresh on every run. Runs at\n"
           "the same time take turns with it: a run waits up to 10 seconds for the one before,\n"
           "then adds its lines to the log as it is. It is single-byte text (paths as their\n"
           "bytes) with lines \"Event: text\" ending in CR LF:\n"
           "  Log: Log file open, YYYY-MM-DD HH:MM:SS\n"
           "  Init: varnox ucc VERSION\n"
           "  Log: Compressed PATH -> PATH.uz (P%)   P = .uz size / package size, rounded;\n"
           "                                         an empty package counts as one byte\n"
           "  Warning: PATH.uz is larger than PATH (U > N bytes); old clients cannot\n"
           "           download it                  (on the same line)\n"
           "  Log: Decompressed PATH.uz -> NAME\n"
           "  Log: Verified PATH.uz\n"
           "  Error: DESCRIPTION (error N)           one per failed path or usage error\n"
           "  Log: Log file closed, YYYY-MM-DD HH:MM:SS\n"
           "Result lines are also written to standard output; warnings and errors to\n"
           "standard error.\n"
           "\n"
           "Exit status: 0 when every path succeeded, 1 when any failed (for verify: any\n"
           "file that does not decode or encode back to itself), 2 for a usage error (no\n"
           "command, an unknown command or no path).\n";
}

int runUcc(const std::vector<std::string>& args, const ToolPlace& place, std::ostream& out,
           std::ostream& err) {
    Run run(place, out, err);
    if (args.empty()) {
        run.error("no command given (error " + std::to_string(failure::kInvalidValue) + ")");
        err << usageText(place);
        return kExitUsage;
    }
    const std::string command = lowerCase(args[0]);
    if (command == "help" || command == "-h" || command == "--help") {
        out << usageText(place);
        return kExitSuccess;
    }
    if (command != "compress" && command != "decompress" && command != "verify") {
        run.error("unknown command " + args[0] + " (error " +
                  std::to_string(failure::kInvalidValue) + ")");
        err << usageText(place);
        return kExitUsage;
    }
    if (args.size() == 1) {
        run.error("no path given to " + command + " (error " +
                  std::to_string(failure::kInvalidValue) + ")");
        err << usageText(place);
        return kExitUsage;
    }

    int status = kExitSuccess;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& path = args[i];
        try {
            if (command == "compress") {
                run.compress(path);
            } else if (command == "decompress") {
                run.decompress(path);
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
