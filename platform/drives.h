#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnox::platform {

// One drive of the program's drive model: a letter and the folder it stands for.
struct Drive {
    char letter = 'c';           // always lower case
    std::filesystem::path root;  // an absolute folder, "/" for drive c:
};

// The drive model of the program on Linux. Drive c: is the root file system "/"; d:, e:, ...
// are the other mounted volumes that hold real files, sorted by mount path. A drive-list
// entry reads "c: [/]"; an entry is recognised by its leading letter (either case) and colon,
// so "c:", "C:" and any saved entry name the same drive.
//
// The table also remembers each drive's current folder for the run (the drive's root until a
// folder on it is visited), as the original platform did per drive letter.
class DriveTable {
public:
    explicit DriveTable(std::vector<Drive> drives);

    // The machine's own table, read from the mount table of the running system.
    static DriveTable fromSystem();
    // The drives described by a mount table in the form of /proc/self/mounts: "/" as c:,
    // then every other real-file volume. Pseudo file systems, mounts below /proc, /sys,
    // /dev and /run (except removable media under /run/media), and mounts that are not
    // folders (single bind-mounted files) are left out. `isFolder` says whether a mount
    // point is a folder; tests pass their own.
    static std::vector<Drive> drivesFromMounts(std::string_view mounts,
                                               bool (*isFolder)(const std::filesystem::path&));

    const std::vector<Drive>& drives() const { return drives_; }
    const Drive* find(char letter) const;

    // The drive letter an entry names ("c:", "D:", "e: [/media/usb]"), lower case.
    static std::optional<char> letterOf(std::string_view entry);
    // The entry text shown in a drive list: "c: [/]".
    static std::string entryText(const Drive& drive);

    // A drive is ready when its folder exists and can be listed.
    bool isReady(char letter) const;
    // The drive that holds a path: the drive whose root is the longest leading folder of it.
    std::optional<char> driveOf(const std::filesystem::path& path) const;

    // The folder a drive shows when it is chosen: the last folder visited on it this run, or
    // its root.
    std::filesystem::path currentFolder(char letter) const;
    // Records `folder` as the current folder of the drive that holds it.
    void rememberFolder(const std::filesystem::path& folder);

private:
    std::vector<Drive> drives_;
    std::map<char, std::filesystem::path> current_;
};

}  // namespace varnox::platform
