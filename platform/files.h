#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program's file layer. Every failure is a varnox::Failure (a SystemFailure when the
// system refused) whose description names the file or folder involved.
namespace varnox::platform {

namespace fs = std::filesystem;

// True when an ordinary file (not a folder; links followed) exists at `path`.
bool ordinaryFileExists(const fs::path& path);
// True when a folder exists at `path` (links followed).
bool folderExists(const fs::path& path);
// True when `path` is an ordinary file that this process may run.
bool executableFileExists(const fs::path& path);

// Creates one folder. Fails when something of that name exists already, when the parent
// folder is missing, or when the parent cannot be written.
void createFolder(const fs::path& path);

// Makes sure a folder exists at `path`: creates it, and takes one that another process made
// at the same moment. Fails when the parent is missing or cannot be written, or when
// something other than a folder has that name.
void ensureFolder(const fs::path& path);

// Makes the folder that is to hold `file`, and any folder above it that is missing, readable
// by their owner only; nothing when it is there.
void createFolderFor(const fs::path& file);

// Moves `source` into `folder` under its own name. Fails when the source is missing, when the
// folder is missing, or when a file of that name is already there: an existing file is never
// overwritten, not even by a file arriving from another volume at the same moment.
void moveFileIntoFolder(const fs::path& source, const fs::path& folder);

// The bytes of the ordinary file `file`. Nothing when no ordinary file is there (nothing at
// all, a folder, a dangling link). Fails, naming the file, when something is there but cannot
// be read, and when the folder cannot be searched, so that the file's presence cannot be told.
// (PositionalFile reads a file in pieces.)
std::optional<std::string> readWholeFile(const fs::path& file);

// Writes all `size` bytes to the descriptor, going on after interruptions by signals.
// Returns 0, or the system's error number of the write that failed.
int writeAll(int fd, const void* data, std::size_t size) noexcept;

// `count` random lowercase letters and digits, for names of temporary files.
std::string randomLetters(std::size_t count = 8);

// How a file written by ReplacingFile comes into place.
struct ReplaceOptions {
    // The temporary file lives in the target's folder, named the prefix, random letters and
    // the ending.
    std::string temporaryPrefix = ".varnox-";
    std::string temporaryEnding;
    // The file's permissions; by default those any new file gets (0666 less the umask).
    std::optional<mode_t> mode;
    // Flushed to the disk before the rename, and the rename itself flushed after.
    bool durable = false;
    // The commit fails with failure::kFileAlreadyExists rather than replace a file of that
    // name, also one that appeared while the bytes were being written.
    bool keepExisting = false;
    // The temporary file is removed by removeTemporaryFilesNow() (signal_cleanup.h), from a
    // handler of a signal that ends the process, for as long as it exists.
    bool removeOnSignal = false;
    // A failed rename onto the target is reported as "Cannot replace TARGET" (the codec's
    // words) rather than "Cannot write TARGET".
    bool saysReplace = false;
};

// The program's one writer of files: a file written in place of `target` so that readers see
// either the old file or the complete new one, never a mix and never a partial file: the bytes
// go to a temporary file in the same folder, which commit() renames over the target. A
// symbolic link named `target` is replaced, not followed. Destroyed before commit(), the
// temporary file is removed. Failures are SystemFailure values naming the target ("Cannot
// write TARGET: reason"; a missing folder is failure::kPathNotFound).
class ReplacingFile {
public:
    explicit ReplacingFile(fs::path target, ReplaceOptions options = {});
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(std::string_view bytes);
    void commit();

private:
    // Removes the temporary file now; the target stays as it was.
    void discard();

    [[noreturn]] void fail(int systemError, const std::string& action);

    fs::path target_;
    ReplaceOptions options_;
    fs::path temporary_;
    int fd_ = -1;
    int signalSlot_ = -1;
};

// The whole file at once, owner-only or not, durable: settings and marker files.
enum class FileAccess { kOwnerOnly, kEveryone };
void writeFileAtomically(const fs::path& file, std::string_view bytes,
                         FileAccess access = FileAccess::kEveryone);

// The program's current folder, and the folder that holds the running program.
fs::path currentFolder();
fs::path programFolder();

// The regular, non-hidden files of a folder, and its sub-folders (hidden ones included,
// after the others), each sorted without regard to letter case. Fail when the folder cannot
// be read.
std::vector<std::string> listFiles(const fs::path& folder);
std::vector<std::string> listFolders(const fs::path& folder);
// The non-hidden symbolic links of a folder that lead nowhere (to nothing, or round in a
// loop), sorted like listFiles(). Fails when the folder cannot be read.
std::vector<std::string> listBrokenLinks(const fs::path& folder);

}  // namespace varnox::platform
