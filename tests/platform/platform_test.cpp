// Drives, files and system errors over real temporary folders. The process runner is
// tested where it starts the real game tool (tests/packages).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/system_errors.h"
#include "tests/support/failures.h"
#include "tests/support/files.h"
#include "tests/support/permission_checks.h"
#include "tests/support/temp_dir.h"

namespace varnox::platform {
namespace {

namespace fs = std::filesystem;
using test::failureNumber;
using test::TempDir;
using test::writeFile;

TEST(DriveTable, KeepsTheMountedVolumesThatHoldFilesAndNamesThemByLetter) {
    const struct {
        const char* mounts;
        std::vector<std::string> expected;
    } cases[] = {
        {"/dev/sda2 / ext4 rw 0 0\nproc /proc proc rw 0 0\ntmpfs /run tmpfs rw 0 0\n"
         "/dev/sda1 /boot/efi vfat rw 0 0\n/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
         "/dev/sda3 /home ext4 rw 0 0\ntmpfs /tmp tmpfs rw 0 0\n",
         {"c=/", "d=/home", "e=/media/user/USB STICK"}},
        {"overlay / overlay rw 0 0\n/dev/vda /etc/hosts ext4 rw 0 0\n/dev/vda /work ext4 rw 0 0\n"
         "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n/dev/sdc1 /run/media/ann/GAMES ntfs3 rw 0 0\n"
         "/dev/vda /work ext4 rw 0 0\n/dev/loop3 /snap/core/1 squashfs ro 0 0\n",
         {"c=/", "d=/run/media/ann/GAMES", "e=/work"}},
        {"", {"c=/"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> roots;
        for (const Drive& d : DriveTable::drivesFromMounts(
                 c.mounts, [](const fs::path& p) { return !p.native().starts_with("/etc/"); })) {
            roots.push_back(std::string(1, d.letter) + "=" + d.root.string());
        }
        EXPECT_EQ(roots, c.expected) << c.mounts;
    }
    for (const auto& [entry, letter] : std::vector<std::pair<const char*, std::optional<char>>>{
             {"c:", 'c'}, {"D: [/media/usb]", 'd'}, {"  e:", 'e'}, {"c", {}}, {"cd:", {}}}) {
        EXPECT_EQ(DriveTable::letterOf(entry), letter) << entry;
    }
    TempDir dir;
    DriveTable table({{'c', "/"}, {'D', dir / "d"}, {'e', dir / "missing"}});
    EXPECT_FALSE(table.isReady('e'));
    EXPECT_EQ(table.driveOf(dir / "d" / "maps"), 'd');
    EXPECT_EQ(table.driveOf(dir / "dx"), 'c');
    EXPECT_EQ(table.currentFolder('d'), dir / "d") << "the root until one is visited";
    table.rememberFolder(dir / "d" / "maps");
    EXPECT_EQ(table.currentFolder('D'), dir / "d" / "maps");
    EXPECT_EQ(DriveTable::entryText(*table.find('d')), "d: [" + (dir / "d").string() + "]");
}

// Refusals within one volume are met by the package commands (tests/packages).
TEST(MoveFileIntoFolder, CrossesVolumesWithoutOverwriting) {
    TempDir dir;
    EXPECT_EQ(failureNumber([&] { moveFileIntoFolder(dir / "Gone.unr", dir.path()); }),
              failure::kFileNotFound);
    struct stat shm = {}, temp = {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.str().c_str(), &temp) != 0 ||
        shm.st_dev == temp.st_dev) {
        GTEST_SKIP() << "/dev/shm is missing or on the same volume as the temporary folder";
    }
    const fs::path source = "/dev/shm/varnox-move-test-" + std::to_string(::getpid());
    writeFile(source, "across");
    moveFileIntoFolder(source, dir.path());
    writeFile(source, "second");
    EXPECT_EQ(failureNumber([&] { moveFileIntoFolder(source, dir.path()); }),
              failure::kFileAlreadyExists);
    EXPECT_EQ(test::readFile(dir / source.filename()), "across");
    fs::remove(source);
    EXPECT_EQ(test::namesIn(dir.path()).size(), 1u) << "temporary file left behind";
}

TEST(Files, ReadWholeFileTellsNoFileFromAFileItCannotRead) {
    TempDir dir;
    writeFile(dir / "a.txt", std::string("a\0b", 3));
    fs::create_directories(dir / "folder");
    fs::create_symlink(dir / "gone", dir / "dangling");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(readWholeFile(dir / "a.txt"), std::string("a\0b", 3));
    for (const char* name : {"missing", "folder", "dangling", "a.txt/below", "pipe"}) {
        EXPECT_EQ(readWholeFile(dir / name), std::nullopt) << name;
    }
    test::PermissionChecksEnforced enforced;
    ::chmod((dir / "a.txt").c_str(), 0);
    if (enforced.effective(dir.path())) {
        EXPECT_EQ(failureNumber([&] { readWholeFile(dir / "a.txt"); }), failure::kPermissionDenied);
    }
}

TEST(SystemErrors, OneTableGivesBothNumberings) {
    const struct {
        int error;
        int classic;
        std::uint32_t readingWindows, writingWindows;
    } cases[] = {
        {ENOENT, failure::kPathNotFound, 2, 3},       {EACCES, failure::kPermissionDenied, 5, 5},
        {ENOSPC, failure::kDiskFull, 112, 112},       {EEXIST, failure::kFileAlreadyExists, 80, 80},
        {EIO, failure::kPathFileAccessError, 30, 29},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classicNumber(c.error), c.classic) << c.error;
        EXPECT_EQ(windowsNumber(c.error, true), c.readingWindows) << c.error;
        EXPECT_EQ(windowsNumber(c.error, false), c.writingWindows) << c.error;
    }
}

}  // namespace
}  // namespace varnox::platform
