#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <random>

#include "platform/positional_file.h"
#include "platform/signal_cleanup.h"
#include "platform/system_errors.h"

namespace varnox::platform {

namespace {

constexpr int kTemporaryAttempts = 100;

SystemFailure failureFor(int systemError, const std::string& what, const fs::path& path) {
    return systemFailure(systemError, what + " " + path.string());
}

fs::path folderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    int order = ::strcasecmp(a.c_str(), b.c_str());
    return order != 0 ? order < 0 : a < b;
}

int renameNoReplace(const fs::path& from, const fs::path& to) {
    return static_cast<int>(
        ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE));
}

// Gives the file `from` the name `to` only if nothing has that name (EEXIST then). Returns 0
// or the system's error. File systems without the no-replace rename get a link, then `from`
// goes; FAT has no links but has the rename.
int renameWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (renameNoReplace(from, to) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    ::unlink(from.c_str());
    return 0;
}

Failure alreadyThere(const fs::path& target) {
    return Failure(failure::kFileAlreadyExists, "File already exists: " + target.string());
}

// Makes a rename durable. Some file systems refuse to sync a folder; the file is complete
// and in place by then, so that is not reported.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies a file to another volume: into a temporary file beside the target, which takes the
// target's name only if that is still free; then the source goes.
void moveAcrossVolumes(const fs::path& source, const fs::path& target) {
    struct stat info {};
    ReplaceOptions options;
    options.temporaryPrefix = ".varnox-move-";
    options.durable = true;
    options.keepExisting = true;
    if (::stat(source.c_str(), &info) == 0) {
        options.mode = info.st_mode & 07777;
    }
    ReplacingFile copy(target, options);
    PositionalFile in(source);
    std::array<std::uint8_t, 1 << 16> buffer{};
    while (const std::size_t got = in.read(buffer)) {
        copy.write(std::string_view(reinterpret_cast<const char*>(buffer.data()), got));
    }
    copy.commit();
    if (::unlink(source.c_str()) != 0) {
        throw failureFor(errno, "Moved, but cannot remove", source);
    }
}

template <typename Keep>
std::vector<std::string> listFolder(const fs::path& folder, Keep keep) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        throw failureFor(errno, "Cannot read folder", folder);
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat info {};
        if (::stat((folder / name).c_str(), &info) != 0) {
            // A link that leads nowhere: kept only by a caller that asks for those.
            const bool nowhere = errno == ENOENT || errno == ELOOP;
            struct stat link {};
            if (nowhere && ::lstat((folder / name).c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
                keep(name, link, true)) {
                names.push_back(std::move(name));
            }
            continue;
        }
        if (keep(name, info, false)) {
            names.push_back(std::move(name));
        }
    }
    ::closedir(dir);
    return names;
}

}  // namespace

std::string randomLetters(std::size_t count) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, sizeof kLetters - 2);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kLetters[pick(engine)];
    }
    return text;
}

bool ordinaryFileExists(const fs::path& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool folderExists(const fs::path& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool executableFileExists(const fs::path& path) {
    return ordinaryFileExists(path) && ::access(path.c_str(), X_OK) == 0;
}

void createFolder(const fs::path& path) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        throw failureFor(errno, "Cannot create folder", path);
    }
}

void ensureFolder(const fs::path& path) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        const int error = errno;
        if (error != EEXIST || !folderExists(path)) {
            throw failureFor(error, "Cannot create folder", path);
        }
    }
}

void createFolderFor(const fs::path& file) {
    const fs::path folder = file.parent_path();
    if (folder.empty() || folderExists(folder)) {
        return;
    }
    createFolderFor(folder);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw failureFor(errno, "Cannot create folder", folder);
    }
}

void moveFileIntoFolder(const fs::path& source, const fs::path& folder) {
    if (!ordinaryFileExists(source)) {
        throw Failure(failure::kFileNotFound, "File not found: " + source.string());
    }
    if (!folderExists(folder)) {
        throw Failure(failure::kPathNotFound, "Path not found: " + folder.string());
    }
    const fs::path target = folder / source.filename();
    const int error = renameWithoutReplacing(source, target);
    if (error == 0) {
        return;
    }
    if (error == EEXIST) {
        throw alreadyThere(target);
    }
    if (error == EXDEV) {
        moveAcrossVolumes(source, target);
        return;
    }
    throw failureFor(error, "Cannot move " + source.string() + " to", target);
}

std::optional<std::string> readWholeFile(const fs::path& file) {
    std::optional<PositionalFile> in = PositionalFile::openIfThere(file);
    if (!in) {
        return std::nullopt;
    }
    std::string content;
    std::array<std::uint8_t, 1 << 16> buffer{};
    while (const std::size_t got = in->read(buffer)) {
        content.append(reinterpret_cast<const char*>(buffer.data()), got);
    }
    return content;
}

ReplacingFile::ReplacingFile(fs::path target, ReplaceOptions options)
    : target_(std::move(target)), options_(std::move(options)) {
    const fs::path folder = folderOf(target_);
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        fs::path candidate =
            folder / (options_.temporaryPrefix + randomLetters() + options_.temporaryEnding);
        if (options_.removeOnSignal) {
            // Known to the signal handler before it exists, so that no moment leaves it behind.
            signalSlot_ = holdForSignals(candidate);
        }
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = std::move(candidate);
            break;
        }
        const int error = errno;
        releaseForSignals(signalSlot_);
        if (error != EEXIST) {
            fail(error, "Cannot write");
        }
    }
    if (fd_ < 0) {
        fail(EEXIST, "Cannot write");
    }
    if (options_.mode && ::fchmod(fd_, *options_.mode) != 0) {
        fail(errno, "Cannot write");
    }
}

ReplacingFile::~ReplacingFile() {
    discard();
}

void ReplacingFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    releaseForSignals(signalSlot_);
}

void ReplacingFile::fail(int systemError, const std::string& action) {
    discard();
    throw failureFor(systemError, action, target_);
}

int writeAll(int fd, const void* data, std::size_t size) noexcept {
    const auto* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(fd, next, size);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        next += put;
        size -= static_cast<std::size_t>(put);
    }
    return 0;
}

void ReplacingFile::write(std::string_view bytes) {
    if (const int error = writeAll(fd_, bytes.data(), bytes.size()); error != 0) {
        fail(error, "Cannot write");
    }
}

void ReplacingFile::commit() {
    if (options_.durable && ::fsync(fd_) != 0) {
        fail(errno, "Cannot write");
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        fail(errno, "Cannot write");
    }
    if (options_.keepExisting) {
        // A file that appeared meanwhile is not replaced.
        const int error = renameWithoutReplacing(temporary_, target_);
        if (error == 0) {
            temporary_.clear();
        }
        discard();
        if (error == EEXIST) {
            throw alreadyThere(target_);
        }
        if (error != 0) {
            throw failureFor(error, "Cannot write", target_);
        }
    } else {
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
            fail(errno, options_.saysReplace ? "Cannot replace" : "Cannot write");
        }
        temporary_.clear();
        releaseForSignals(signalSlot_);
    }
    if (options_.durable) {
        syncFolder(folderOf(target_));
    }
}

void writeFileAtomically(const fs::path& file, std::string_view bytes, FileAccess access) {
    ReplaceOptions options;
    options.temporaryPrefix = file.filename().string() + ".new-";
    options.durable = true;
    if (access == FileAccess::kOwnerOnly) {
        options.mode = S_IRUSR | S_IWUSR;
    }
    ReplacingFile out(file, options);
    out.write(bytes);
    out.commit();
}

fs::path currentFolder() {
    std::error_code error;
    fs::path folder = fs::current_path(error);
    return error ? fs::path("/") : folder;
}

fs::path programFolder() {
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path(".") : program.parent_path();
}

std::vector<std::string> listFiles(const fs::path& folder) {
    auto names =
        listFolder(folder, [](const std::string& name, const struct stat& info, bool broken) {
            return !broken && S_ISREG(info.st_mode) && name[0] != '.';
        });
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

std::vector<std::string> listBrokenLinks(const fs::path& folder) {
    auto names = listFolder(folder, [](const std::string& name, const struct stat&, bool broken) {
        return broken && name[0] != '.';
    });
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

std::vector<std::string> listFolders(const fs::path& folder) {
    auto names = listFolder(folder, [](const std::string&, const struct stat& info, bool broken) {
        return !broken && S_ISDIR(info.st_mode);
    });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const bool hiddenA = a[0] == '.';
        const bool hiddenB = b[0] == '.';
        return hiddenA != hiddenB ? hiddenB : lessIgnoringCase(a, b);
    });
    return names;
}

}  // namespace varnox::platform
