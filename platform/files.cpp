#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/failure.h"

namespace varnox::platform {

namespace {

// The failure for an errno value met while working on `path`.
Failure failureFor(int error, const std::string& what, const std::string& path) {
    return systemFailure(error, what + " " + path);
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    int order = ::strcasecmp(a.c_str(), b.c_str());
    return order != 0 ? order < 0 : a < b;
}

int renameNoReplace(const std::string& from, const std::string& to) {
    return static_cast<int>(
        ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE));
}

// Moves a file to another volume: copy into a hidden temporary file beside the target, link
// it under the target name (which fails if the name is taken), then remove the source.
void moveAcrossVolumes(const std::string& source, const std::string& target) {
    std::string temp = joinPath(parentFolder(target), ".varnox-move-XXXXXX");
    int out = ::mkstemp(temp.data());
    if (out < 0) {
        throw failureFor(errno, "Cannot write in", parentFolder(target));
    }
    auto fail = [&](int error, const std::string& what, const std::string& path) {
        ::close(out);
        ::unlink(temp.c_str());
        throw failureFor(error, what, path);
    };
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        fail(errno, "Cannot read", source);
    }
    char buffer[1 << 16];
    while (true) {
        ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0) {
            int error = errno;
            ::close(in);
            fail(error, "Cannot read", source);
        }
        if (got == 0) {
            break;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0) {
                int error = errno;
                ::close(in);
                fail(error, "Cannot write", target);
            }
            done += put;
        }
    }
    ::close(in);
    struct stat info {};
    if (::stat(source.c_str(), &info) == 0) {
        ::fchmod(out, info.st_mode & 07777);
    }
    if (::fsync(out) != 0 || ::close(out) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        throw failureFor(error, "Cannot write", target);
    }
    if (::link(temp.c_str(), target.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        if (error == EEXIST) {
            throw Failure(failure::kFileAlreadyExists, "File already exists: " + target);
        }
        throw failureFor(error, "Cannot write", target);
    }
    ::unlink(temp.c_str());
    if (::unlink(source.c_str()) != 0) {
        throw failureFor(errno, "Moved, but cannot remove", source);
    }
}

}  // namespace

bool ordinaryFileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool folderExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void createFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        throw failureFor(errno, "Cannot create folder", path);
    }
}

void moveFileIntoFolder(const std::string& source, const std::string& folder) {
    if (!ordinaryFileExists(source)) {
        throw Failure(failure::kFileNotFound, "File not found: " + source);
    }
    if (!folderExists(folder)) {
        throw Failure(failure::kPathNotFound, "Path not found: " + folder);
    }
    std::string target = joinPath(folder, baseName(source));
    if (renameNoReplace(source, target) == 0) {
        return;
    }
    int error = errno;
    if (error == EEXIST) {
        throw Failure(failure::kFileAlreadyExists, "File already exists: " + target);
    }
    if (error == EXDEV) {
        moveAcrossVolumes(source, target);
        return;
    }
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the no-replace rename: link, then unlink, never overwrites.
        if (::link(source.c_str(), target.c_str()) == 0) {
            ::unlink(source.c_str());
            return;
        }
        error = errno;
        if (error == EEXIST) {
            throw Failure(failure::kFileAlreadyExists, "File already exists: " + target);
        }
    }
    throw failureFor(error, "Cannot move " + source + " to", target);
}

void writeTextFileLine(const std::string& path, const std::string& line) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw failureFor(errno, "Cannot create", path);
    }
    out << line << "\r\n";
    out.close();
    if (!out) {
        throw failureFor(errno, "Cannot write", path);
    }
}

std::string currentFolder() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return "/";
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::string programFolder() {
    std::string buffer(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return ".";
    }
    buffer.resize(static_cast<std::size_t>(length));
    return parentFolder(buffer);
}

std::string findFileIgnoringCase(const std::string& folder, const std::string& name) {
    std::string exact = joinPath(folder, name);
    if (ordinaryFileExists(exact)) {
        return exact;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return exact;
    }
    std::vector<std::string> matches;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0 &&
            ordinaryFileExists(joinPath(folder, entry->d_name))) {
            matches.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    if (matches.empty()) {
        return exact;
    }
    std::sort(matches.begin(), matches.end());  // the same choice every time
    return joinPath(folder, matches.front());
}

namespace {

template <typename Keep>
std::vector<std::string> listFolder(const std::string& folder, Keep keep) {
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
        if (::stat(joinPath(folder, name).c_str(), &info) != 0) {
            continue;  // a dangling link
        }
        if (keep(name, info)) {
            names.push_back(std::move(name));
        }
    }
    ::closedir(dir);
    return names;
}

}  // namespace

std::vector<std::string> listFiles(const std::string& folder) {
    auto names = listFolder(folder, [](const std::string& name, const struct stat& info) {
        return S_ISREG(info.st_mode) && name[0] != '.';
    });
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

std::vector<std::string> listFolders(const std::string& folder) {
    auto names = listFolder(
        folder, [](const std::string&, const struct stat& info) { return S_ISDIR(info.st_mode); });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        bool hiddenA = a[0] == '.';
        bool hiddenB = b[0] == '.';
        return hiddenA != hiddenB ? hiddenB : lessIgnoringCase(a, b);
    });
    return names;
}

std::string baseName(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string parentFolder(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    auto slash = trimmed.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return trimmed.substr(0, slash);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

}  // namespace varnox::platform
