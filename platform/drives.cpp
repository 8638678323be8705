#include "platform/drives.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "platform/failure.h"
#include "platform/files.h"

namespace varnox::platform {

namespace {

// File systems that hold no files of their own, or only the system's.
const std::set<std::string>& pseudoFileSystems() {
    static const std::set<std::string> kinds = {
        "autofs",     "binfmt_misc", "bpf",         "cgroup",          "cgroup2", "configfs",
        "debugfs",    "devpts",      "devtmpfs",    "efivarfs",        "fusectl", "hugetlbfs",
        "mqueue",     "nsfs",        "proc",        "pstore",          "ramfs",   "rpc_pipefs",
        "securityfs", "selinuxfs",   "squashfs",    "sysfs",           "tmpfs",   "tracefs",
        "overlay",    "nfsd",        "fuse.portal", "fuse.gvfsd-fuse", "none"};
    return kinds;
}

bool startsWithFolder(const std::string& path, const std::string& folder) {
    // Compared as text: the drive roots and the paths given are both absolute and plain.
    if (folder == "/") {
        return !path.empty() && path[0] == '/';
    }
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

bool systemOnlyPlace(const std::string& mountPoint) {
    if (startsWithFolder(mountPoint, "/run/media")) {
        return false;
    }
    for (const char* place : {"/proc", "/sys", "/dev", "/run", "/snap", "/boot"}) {
        if (startsWithFolder(mountPoint, place)) {
            return true;
        }
    }
    return false;
}

// /proc/self/mounts writes blanks, tabs, new lines and backslashes as octal escapes.
std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool isFolderOnDisk(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

DriveTable::DriveTable(std::vector<Drive> drives) : drives_(std::move(drives)) {
    for (auto& d : drives_) {
        d.letter = static_cast<char>(std::tolower(static_cast<unsigned char>(d.letter)));
    }
}

DriveTable DriveTable::fromSystem() {
    std::string text;  // none readable: drive c: alone
    try {
        text = readWholeFile("/proc/self/mounts").value_or("");
    } catch (const Failure&) {
    }
    return DriveTable(drivesFromMounts(text, &isFolderOnDisk));
}

std::vector<Drive> DriveTable::drivesFromMounts(std::string_view mounts,
                                                bool (*isFolder)(const std::filesystem::path&)) {
    std::set<std::string> points;
    std::istringstream lines{std::string(mounts)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, point, kind;
        if (!(fields >> device >> point >> kind)) {
            continue;
        }
        point = unescapeMountField(point);
        if (point == "/" || point.empty() || point[0] != '/') {
            continue;
        }
        if (pseudoFileSystems().count(kind) != 0 || systemOnlyPlace(point)) {
            continue;
        }
        if (!isFolder(point)) {
            continue;
        }
        points.insert(point);
    }
    std::vector<Drive> drives{{'c', "/"}};
    char letter = 'd';
    for (const auto& point : points) {  // std::set keeps them sorted by mount path
        if (letter > 'z') {
            break;
        }
        drives.push_back({letter++, point});
    }
    return drives;
}

const Drive* DriveTable::find(char letter) const {
    letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    auto it = std::find_if(drives_.begin(), drives_.end(),
                           [letter](const Drive& d) { return d.letter == letter; });
    return it == drives_.end() ? nullptr : &*it;
}

std::optional<char> DriveTable::letterOf(std::string_view entry) {
    std::size_t i = 0;
    while (i < entry.size() && entry[i] == ' ') {
        ++i;
    }
    if (i + 1 < entry.size() && std::isalpha(static_cast<unsigned char>(entry[i])) &&
        entry[i + 1] == ':') {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(entry[i])));
    }
    return std::nullopt;
}

std::string DriveTable::entryText(const Drive& drive) {
    return std::string(1, drive.letter) + ": [" + drive.root.string() + "]";
}

bool DriveTable::isReady(char letter) const {
    const Drive* drive = find(letter);
    if (drive == nullptr) {
        return false;
    }
    DIR* dir = ::opendir(drive->root.c_str());
    if (dir == nullptr) {
        return false;
    }
    ::closedir(dir);
    return true;
}

std::optional<char> DriveTable::driveOf(const std::filesystem::path& path) const {
    std::optional<char> best;
    std::size_t bestLength = 0;
    for (const auto& d : drives_) {
        const std::string& root = d.root.native();
        if (startsWithFolder(path.native(), root) && (!best || root.size() > bestLength)) {
            best = d.letter;
            bestLength = root.size();
        }
    }
    return best;
}

std::filesystem::path DriveTable::currentFolder(char letter) const {
    letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    auto it = current_.find(letter);
    if (it != current_.end()) {
        return it->second;
    }
    const Drive* drive = find(letter);
    return drive == nullptr ? std::filesystem::path() : drive->root;
}

void DriveTable::rememberFolder(const std::filesystem::path& folder) {
    if (auto letter = driveOf(folder)) {
        current_[*letter] = folder;
    }
}

}  // namespace varnox::platform
