#include "redirect/folder_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include "ftp/connection.h"
#include "ftp/errors.h"
#include "ftp/reports.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/positional_file.h"
#include "platform/system_errors.h"
#include "redirect/manifest.h"

namespace varnox::redirect {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPiece = 1 << 20;
constexpr mode_t kEveryoneReads = 0644;

// "2026-12-07 14:22:05.123456789": what the same file lists as until it is written again.
std::string timeText(const struct timespec& time) {
    struct tm parts {};
    ::gmtime_r(&time.tv_sec, &parts);
    char text[48];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    char nanoseconds[16];
    std::snprintf(nanoseconds, sizeof nanoseconds, ".%09ld", time.tv_nsec);
    return std::string(text, length) + nanoseconds;
}

}  // namespace

bool isFileUrl(std::string_view server) {
    constexpr std::string_view kScheme = "file:";
    if (server.size() < kScheme.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(server[i]))) != kScheme[i]) {
            return false;
        }
    }
    return true;
}

std::optional<fs::path> folderOfFileUrl(std::string_view url, std::string& why) {
    const std::string shown(url);
    std::string_view rest = url.substr(5);  // after "file:"
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        if (!rest.starts_with("/")) {
            why = "'" + shown + "' names a host: file:// takes a folder on this machine, " +
                  "file:///PATH with three slashes";
            return std::nullopt;
        }
    } else if (!rest.starts_with("/")) {
        why = "'" + shown + "' is not an absolute path: give file:///PATH with three slashes";
        return std::nullopt;
    }
    // Its %XX decoded as the manifest decodes its names.
    const std::optional<std::string> path = Manifest::unescape(std::string(rest));
    if (!path) {
        why = "'" + shown + "' has a % that is not followed by two hexadecimal digits";
        return std::nullopt;
    }
    if (path->find('\0') != std::string::npos) {
        why = "'" + shown + "' holds %00: a path has no NUL byte";
        return std::nullopt;
    }
    return fs::path(*path);
}

void FolderTarget::checkNotStopped() const {
    if (stopped_) {
        throw InternetFailure(ftp::error::kOperationCancelled, ftp::kStoppedText);
    }
}

void FolderTarget::connect() {
    checkNotStopped();
    std::error_code error;
    const fs::file_status status = fs::status(folder_, error);
    if (status.type() == fs::file_type::directory) {
        return;
    }
    if (error && error != std::errc::no_such_file_or_directory) {
        throw platform::systemFailure(error.value(), "Cannot open the folder " + folder());
    }
    throw Failure(failure::kPathNotFound,
                  "The folder " + folder() +
                      (status.type() == fs::file_type::not_found
                           ? " does not exist; make it (the web server's folder) first"
                           : " is not a folder"));
}

std::vector<ftp::FindData> FolderTarget::list() {
    checkNotStopped();
    std::vector<ftp::FindData> entries;
    std::error_code error;
    fs::directory_iterator it(folder_, error), end;
    for (; !error && it != end; it.increment(error)) {
        ftp::FindData entry;
        entry.name = it->path().filename().string();
        struct stat facts {};
        if (::lstat(it->path().c_str(), &facts) != 0) {
            continue;  // gone since it was read
        }
        entry.link = S_ISLNK(facts.st_mode);
        std::error_code unreachable;  // a link that leads nowhere it may go is a file
        entry.attributes =
            S_ISDIR(facts.st_mode) || (entry.link && fs::is_directory(it->path(), unreachable))
                ? ftp::attribute::kDirectory
                : ftp::attribute::kNormal;
        if (S_ISREG(facts.st_mode)) {
            entry.size = static_cast<std::uint64_t>(facts.st_size);
            entry.time = timeText(facts.st_mtim);
        }
        entries.push_back(std::move(entry));
    }
    if (error) {
        throw platform::systemFailure(error.value(), "Cannot list the folder " + folder());
    }
    return entries;
}

fs::path FolderTarget::pathOf(const std::string& name) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        throw Failure(failure::kBadFileName, "'" + name + "' is not the name of a file in " +
                                                 folder() + ": it names another folder");
    }
    return folder_ / name;
}

void FolderTarget::remove(const std::string& name) {
    checkNotStopped();
    const fs::path file = pathOf(name);
    if (::unlink(file.c_str()) != 0) {
        throw platform::systemFailure(errno, "Cannot delete " + file.string(),
                                      failure::kFileNotFound);
    }
}

void FolderTarget::copy(const fs::path& from, const fs::path& to, bool upload) {
    moved_ = 0;
    platform::PositionalFile source(from);
    platform::ReplaceOptions options;
    if (upload) {
        options.temporaryPrefix = ftp::kUploadPrefix;
        options.mode = kEveryoneReads;
        options.durable = true;
        options.removeOnSignal = true;
    }
    platform::ReplacingFile target(to, options);
    std::vector<std::uint8_t> piece(kPiece);
    for (;;) {
        checkNotStopped();
        const std::size_t read = source.read(piece);
        if (read == 0) {
            break;
        }
        target.write({reinterpret_cast<const char*>(piece.data()), read});
        moved_ += read;
    }
    checkNotStopped();
    target.commit();
}

bool FolderTarget::put(const fs::path& local, const std::string& name) {
    checkNotStopped();
    copy(local, pathOf(name), true);
    return false;
}

void FolderTarget::get(const std::string& name, const fs::path& local) {
    checkNotStopped();
    copy(pathOf(name), local, false);
}

}  // namespace varnox::redirect
