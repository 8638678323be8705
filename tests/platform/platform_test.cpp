// Drives, files and processes over real temporary folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system_errors.h"
#include "tests/support/failures.h"
#include "tests/support/files.h"
#include "tests/support/permission_checks.h"
#include "tests/support/temp_dir.h"

namespace varnox::platform {
namespace {

namespace fs = std::filesystem;
using test::failureNumber;
using test::readFile;
using test::TempDir;
using test::writeFile;

bool notUnderEtc(const fs::path& path) {
    return path.string().rfind("/etc/", 0) != 0;
}

TEST(DriveTable, KeepsTheMountedVolumesThatHoldFiles) {
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
        for (const Drive& d : DriveTable::drivesFromMounts(c.mounts, &notUnderEtc)) {
            roots.push_back(std::string(1, d.letter) + "=" + d.root.string());
        }
        EXPECT_EQ(roots, c.expected) << c.mounts;
    }
    EXPECT_EQ(DriveTable::fromSystem().drives().front().root, "/");
}

TEST(DriveTable, NamesDrivesByLetterAndRemembersEachOnesFolder) {
    for (const auto& [entry, letter] : std::vector<std::pair<const char*, std::optional<char>>>{
             {"c:", 'c'}, {"D: [/media/usb]", 'd'}, {"  e:", 'e'}, {"c", {}}, {"cd:", {}}}) {
        EXPECT_EQ(DriveTable::letterOf(entry), letter) << entry;
    }
    TempDir dir;
    fs::create_directories(dir / "d" / "maps");
    DriveTable table({{'c', "/"}, {'D', dir / "d"}, {'e', dir / "missing"}});
    EXPECT_EQ(table.driveOf(dir / "d" / "maps"), 'd');
    EXPECT_EQ(table.driveOf(dir / "dx"), 'c');
    EXPECT_FALSE(table.isReady('e'));
    EXPECT_EQ(table.currentFolder('d'), dir / "d") << "the root until one is visited";
    table.rememberFolder(dir / "d" / "maps");
    EXPECT_EQ(table.currentFolder('D'), dir / "d" / "maps");
    EXPECT_EQ(DriveTable::entryText(*table.find('d')), "d: [" + (dir / "d").string() + "]");
}

TEST(MoveFileIntoFolder, RefusesAndKeepsEveryFileOrMovesUnderItsOwnName) {
    TempDir dir;
    const fs::path source = dir / "System" / "Map.unr";
    writeFile(source, "new");
    writeFile(dir / "Maps" / "Map.unr", "old");
    const struct {
        fs::path source, folder;
        int number;
    } cases[] = {
        {dir / "System" / "Gone.unr", dir / "Maps", failure::kFileNotFound},
        {source, dir / "Nowhere/", failure::kPathNotFound},
        {source, dir / "Maps/", failure::kFileAlreadyExists},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureNumber([&] { moveFileIntoFolder(c.source, c.folder); }), c.number);
        EXPECT_EQ(readFile(source), "new");
        EXPECT_EQ(readFile(dir / "Maps" / "Map.unr"), "old");
    }
    fs::create_directories(dir / "Sounds");
    moveFileIntoFolder(source, dir / "Sounds/");
    EXPECT_EQ(readFile(dir / "Sounds" / "Map.unr"), "new");
    EXPECT_FALSE(fs::exists(source));
}

TEST(MoveFileIntoFolder, CrossesVolumesWithoutOverwriting) {
    TempDir dir;
    struct stat shm {
    }, temp{};
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
    EXPECT_EQ(readFile(dir / source.filename()), "across");
    fs::remove(source);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "temporary file left behind";
}

TEST(Files, ReadWholeFileTellsNoFileFromAFileItCannotRead) {
    TempDir dir;
    writeFile(dir / "a.txt", std::string("a\0b", 3));
    fs::create_directories(dir / "folder");
    fs::create_symlink(dir / "gone", dir / "dangling");
    EXPECT_EQ(readWholeFile(dir / "a.txt"), std::string("a\0b", 3));
    for (const char* name : {"missing", "folder", "dangling", "a.txt/below"}) {
        EXPECT_EQ(readWholeFile(dir / name), std::nullopt) << name;
    }
    test::PermissionChecksEnforced enforced;
    ::chmod((dir / "a.txt").c_str(), 0);
    if (enforced.effective(dir.path())) {
        EXPECT_EQ(failureNumber([&] { readWholeFile(dir / "a.txt"); }), failure::kPermissionDenied);
    }
}

TEST(Files, AReplacedFileIsWholeOrUntouched) {
    TempDir dir;
    const fs::path file = dir / "config.txt";
    writeFile(file, "old");
    ::chmod(file.c_str(), 0644);
    writeFileAtomically(file, "new", FileAccess::kOwnerOnly);
    EXPECT_EQ(readFile(file), "new");
    struct stat info {};
    ::stat(file.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    {
        ReplacingFile abandoned(file);
        abandoned.write("half");
    }
    EXPECT_EQ(readFile(file), "new");
    ReplaceOptions keep;
    keep.keepExisting = true;
    ReplacingFile second(file, keep);
    second.write("other");
    EXPECT_EQ(failureNumber([&] { second.commit(); }), failure::kFileAlreadyExists);
    EXPECT_EQ(readFile(file), "new");
    EXPECT_EQ(failureNumber([&] { writeFileAtomically(dir / "nowhere" / "x", "x"); }),
              failure::kPathNotFound);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
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

TEST(SystemProcessRunner, PassesEachArgumentIntactWithoutAShell) {
    TempDir dir;
    const std::string tricky = "-rf my map; $(touch pwned) 'q' \"d\" *.unr";
    SystemProcessRunner runner;
    const int pid = runner.start(
        "/bin/sh", {"-c", "printf '%s' \"$1\" > \"$2\"", "sh", tricky, (dir / "out").string()});
    unsigned status = ProcessRunner::kStillActive;
    for (int i = 0; i < 500 && status == ProcessRunner::kStillActive; ++i) {
        ASSERT_TRUE(runner.exitStatus(pid, status));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(readFile(dir / "out"), tricky);
    EXPECT_FALSE(fs::exists(dir / "pwned"));
    try {
        runner.start("/nowhere/System/ucc.exe", {"compress", "x"});
        FAIL() << "started a missing program";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), failure::kFileNotFound);
        EXPECT_NE(failure.description().find("/nowhere/System/ucc.exe"), std::string::npos);
    }
}

}  // namespace
}  // namespace varnox::platform
