#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/drives.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/guard.h"
#include "platform/process.h"
#include "tests/support/failures.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

using test::failureNumber;

// --- Drives --------------------------------------------------------------------------

bool onlyEtcFilesAreFiles(const std::string& path) {
    return path.rfind("/etc/", 0) != 0;
}

TEST(DriveTable, KeepsTheMountedVolumesThatHoldFiles) {
    const struct {
        const char* mounts;
        std::vector<std::string> expected;
    } cases[] = {
        {"/dev/sda2 / ext4 rw,relatime 0 0\n"
         "proc /proc proc rw 0 0\n"
         "sysfs /sys sysfs rw 0 0\n"
         "tmpfs /run tmpfs rw 0 0\n"
         "/dev/sda1 /boot/efi vfat rw 0 0\n"
         "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
         "/dev/sda3 /home ext4 rw 0 0\n"
         "tmpfs /tmp tmpfs rw 0 0\n",
         {"c=/", "d=/home", "e=/media/user/USB STICK"}},
        {"overlay / overlay rw 0 0\n"
         "/dev/vda /etc/hosts ext4 rw 0 0\n"
         "/dev/vda /work ext4 rw 0 0\n"
         "devpts /dev/pts devpts rw 0 0\n"
         "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n",
         {"c=/", "d=/work"}},
        {"/dev/nvme0n1p2 / btrfs rw 0 0\n"
         "/dev/nvme0n1p2 /home btrfs rw 0 0\n"
         "/dev/nvme0n1p2 /home btrfs rw 0 0\n"
         "/dev/sdc1 /run/media/ann/GAMES ntfs3 rw 0 0\n"
         "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
         "server:/export /mnt/nfs nfs4 rw 0 0\n",
         {"c=/", "d=/home", "e=/mnt/nfs", "f=/run/media/ann/GAMES"}},
        {"", {"c=/"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> roots;
        for (const Drive& d : DriveTable::drivesFromMounts(c.mounts, &onlyEtcFilesAreFiles)) {
            roots.push_back(std::string(1, d.letter) + "=" + d.root);
        }
        EXPECT_EQ(roots, c.expected) << c.mounts;
    }
    const DriveTable machine = DriveTable::fromSystem();
    ASSERT_FALSE(machine.drives().empty());
    EXPECT_EQ(machine.drives().front().letter, 'c');
    EXPECT_EQ(machine.drives().front().root, "/");
}

TEST(DriveTable, EntriesLettersAndTheDriveOfAPath) {
    const struct {
        const char* entry;
        std::optional<char> letter;
    } cases[] = {{"c:", 'c'},          {"C:", 'c'},           {"d: [/media/usb]", 'd'},
                 {"  e:", 'e'},        {"", std::nullopt},    {"c", std::nullopt},
                 {"1:", std::nullopt}, {"cd:", std::nullopt}, {"/home", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(DriveTable::letterOf(c.entry), c.letter) << c.entry;
    }
    const DriveTable table({{'c', "/"}, {'d', "/media"}, {'e', "/media/usb"}});
    EXPECT_EQ(table.driveOf("/home/ann"), 'c');
    EXPECT_EQ(table.driveOf("/media"), 'd');
    EXPECT_EQ(table.driveOf("/mediax/a"), 'c');
    EXPECT_EQ(table.driveOf("/media/usb/UT"), 'e');
    EXPECT_EQ(table.driveOf("/media/usbstick"), 'd');
    EXPECT_EQ(table.driveOf("relative"), std::nullopt);
}

TEST(DriveTable, EachDriveRemembersItsOwnCurrentFolder) {
    TempDir dir;
    fs::create_directories(dir / "c" / "games");
    fs::create_directories(dir / "d" / "maps");
    DriveTable table({{'C', (dir / "c").string()}, {'d', (dir / "d").string()}});
    EXPECT_EQ(table.currentFolder('c'), (dir / "c").string()) << "the root until one is visited";
    table.rememberFolder((dir / "c" / "games").string());
    table.rememberFolder((dir / "d" / "maps").string());
    EXPECT_EQ(table.currentFolder('C'), (dir / "c" / "games").string());
    EXPECT_EQ(table.currentFolder('d'), (dir / "d" / "maps").string());
    EXPECT_EQ(table.currentFolder('x'), "");
}

// --- Files ---------------------------------------------------------------------------

TEST(MoveFileIntoFolder, RefusesAndKeepsEveryFileOrMovesUnderItsOwnName) {
    TempDir dir;
    const std::string source = (dir / "System" / "Map.unr").string();
    writeFile(source, "new");
    writeFile(dir / "Maps" / "Map.unr", "old");
    const struct {
        std::string source;
        std::string folder;
        int number;
    } cases[] = {
        {(dir / "System" / "Gone.unr").string(), (dir / "Maps").string(), failure::kFileNotFound},
        {source, (dir / "Nowhere/").string(), failure::kPathNotFound},
        {source, (dir / "Maps/").string(), failure::kFileAlreadyExists},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureNumber([&] { moveFileIntoFolder(c.source, c.folder); }), c.number)
            << c.folder;
        EXPECT_EQ(readFile(source), "new");
        EXPECT_EQ(readFile(dir / "Maps" / "Map.unr"), "old");
    }
    fs::create_directories(dir / "Sounds");
    moveFileIntoFolder(source, (dir / "Sounds").string() + "/");
    EXPECT_EQ(readFile(dir / "Sounds" / "Map.unr"), "new");
    EXPECT_FALSE(fs::exists(source));
}

TEST(MoveFileIntoFolder, CrossesVolumesWithoutOverwriting) {
    // /dev/shm is a separate volume on most machines; skip where it is not.
    TempDir dir;
    struct stat shm {
    }, temp{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.str().c_str(), &temp) != 0 ||
        shm.st_dev == temp.st_dev) {
        GTEST_SKIP() << "/dev/shm is missing or on the same volume as the temporary folder";
    }
    std::string source = "/dev/shm/varnox-move-test-" + std::to_string(::getpid());
    writeFile(source, "across");
    moveFileIntoFolder(source, dir.str());
    EXPECT_EQ(readFile(dir / fs::path(source).filename()), "across");
    EXPECT_FALSE(fs::exists(source));

    writeFile(source, "second");
    EXPECT_EQ(failureNumber([&] { moveFileIntoFolder(source, dir.str()); }),
              failure::kFileAlreadyExists);
    EXPECT_EQ(readFile(dir / fs::path(source).filename()), "across");
    EXPECT_EQ(readFile(source), "second");
    fs::remove(source);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "temporary file left behind";
}

TEST(Files, TheToolIsFoundWhateverItsLetterCase) {
    TempDir dir;
    writeFile(dir / "System" / "UCC.exe", "tool");
    const std::string system = (dir / "System").string();
    EXPECT_EQ(findFileIgnoringCase(system, "ucc.exe"), system + "/UCC.exe");
    writeFile(dir / "System" / "ucc.exe", "exact");
    EXPECT_EQ(findFileIgnoringCase(system, "ucc.exe"), system + "/ucc.exe") << "exact first";
    EXPECT_EQ(findFileIgnoringCase(system, "other.exe"), system + "/other.exe");
}

// --- Handlers and processes ----------------------------------------------------------

TEST(Guarded, ReportsAFailureWithItsNumberAndGoesOn) {
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(guarded(boxes, nullptr, [] {
        throw Failure(failure::kPathNotFound, "Path not found: /games/UnrealTournament");
    }));
    EXPECT_FALSE(guarded(boxes, nullptr, [] { throw std::runtime_error("boom"); }));
    bool after = false;
    EXPECT_TRUE(guarded(boxes, nullptr, [&] { after = true; }));
    EXPECT_TRUE(after);
    ASSERT_EQ(boxes.texts().size(), 2u);
    EXPECT_EQ(boxes.texts()[0], "Error 76: Path not found: /games/UnrealTournament");
    EXPECT_FALSE(boxes.shown()[0].question);
    EXPECT_TRUE(boxes.texts()[1].startsWith("Error 51: ")) << boxes.texts()[1].toStdString();
    EXPECT_TRUE(boxes.texts()[1].contains("boom"));
}

TEST(SystemProcessRunner, PassesEachArgumentIntactWithoutAShell) {
    TempDir dir;
    const std::string out = (dir / "out").string();
    const std::string tricky = "-rf my map; $(touch pwned) 'q' \"d\" *.unr";
    SystemProcessRunner runner;
    const int pid =
        runner.start("/bin/sh", {"-c", "printf '%s' \"$1\" > \"$2\"", "sh", tricky, out});
    unsigned status = ProcessRunner::kStillActive;
    for (int i = 0; i < 500 && status == ProcessRunner::kStillActive; ++i) {
        ASSERT_TRUE(runner.exitStatus(pid, status));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(readFile(out), tricky);
    EXPECT_FALSE(fs::exists(dir / "pwned"));
}

TEST(SystemProcessRunner, AMissingProgramFailsNamingIt) {
    try {
        SystemProcessRunner().start("/nowhere/System/ucc.exe", {"compress", "x"});
        FAIL() << "started a missing program";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), failure::kFileNotFound);
        EXPECT_NE(std::string(failure.what()).find("/nowhere/System/ucc.exe"), std::string::npos);
    }
}

}  // namespace
}  // namespace varnox::platform
