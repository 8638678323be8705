#include <gtest/gtest.h>

#include <filesystem>

#include "platform/drives.h"
#include "tests/support/temp_dir.h"

namespace varnox::platform {
namespace {

bool onlyEtcFilesAreFiles(const std::string& path) {
    return path.rfind("/etc/", 0) != 0;
}

std::vector<std::string> roots(const std::vector<Drive>& drives) {
    std::vector<std::string> out;
    for (const auto& d : drives) {
        out.push_back(std::string(1, d.letter) + "=" + d.root);
    }
    return out;
}

struct MountCase {
    const char* name;
    const char* mounts;
    std::vector<std::string> expected;
};

class DrivesFromMounts : public ::testing::TestWithParam<MountCase> {};

TEST_P(DrivesFromMounts, KeepsVolumesThatHoldFiles) {
    const auto& c = GetParam();
    EXPECT_EQ(roots(DriveTable::drivesFromMounts(c.mounts, &onlyEtcFilesAreFiles)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DrivesFromMounts,
    ::testing::Values(MountCase{"desktop",
                                "/dev/sda2 / ext4 rw,relatime 0 0\n"
                                "proc /proc proc rw 0 0\n"
                                "sysfs /sys sysfs rw 0 0\n"
                                "tmpfs /run tmpfs rw 0 0\n"
                                "/dev/sda1 /boot/efi vfat rw 0 0\n"
                                "/dev/sdb1 /media/user/USB\\040STICK vfat rw 0 0\n"
                                "/dev/sda3 /home ext4 rw 0 0\n"
                                "tmpfs /tmp tmpfs rw 0 0\n",
                                {"c=/", "d=/home", "e=/media/user/USB STICK"}},
                      MountCase{"container",
                                "overlay / overlay rw 0 0\n"
                                "/dev/vda /etc/hosts ext4 rw 0 0\n"
                                "/dev/vda /etc/hostname ext4 rw 0 0\n"
                                "/dev/vda /work ext4 rw 0 0\n"
                                "devpts /dev/pts devpts rw 0 0\n"
                                "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n",
                                {"c=/", "d=/work"}},
                      MountCase{"removable media under /run/media and a repeated mount",
                                "/dev/nvme0n1p2 / btrfs rw 0 0\n"
                                "/dev/nvme0n1p2 /home btrfs rw 0 0\n"
                                "/dev/nvme0n1p2 /home btrfs rw 0 0\n"
                                "/dev/sdc1 /run/media/ann/GAMES ntfs3 rw 0 0\n"
                                "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
                                "server:/export /mnt/nfs nfs4 rw 0 0\n",
                                {"c=/", "d=/home", "e=/mnt/nfs", "f=/run/media/ann/GAMES"}},
                      MountCase{"nothing but the root", "", {"c=/"}}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (auto& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return name;
    });

TEST(DriveTable, RecognisesAnEntryByItsLetterAndColon) {
    struct {
        const char* entry;
        std::optional<char> letter;
    } cases[] = {{"c:", 'c'},          {"C:", 'c'},           {"d: [/media/usb]", 'd'},
                 {"  e:", 'e'},        {"", std::nullopt},    {"c", std::nullopt},
                 {"1:", std::nullopt}, {"cd:", std::nullopt}, {"/home", std::nullopt}};
    for (const auto& c : cases) {
        EXPECT_EQ(DriveTable::letterOf(c.entry), c.letter) << c.entry;
    }
    EXPECT_EQ(DriveTable::entryText({'d', "/media/usb"}), "d: [/media/usb]");
}

TEST(DriveTable, APathBelongsToTheDriveWithTheLongestRoot) {
    DriveTable table({{'c', "/"}, {'d', "/media"}, {'e', "/media/usb"}});
    EXPECT_EQ(table.driveOf("/home/ann"), 'c');
    EXPECT_EQ(table.driveOf("/media"), 'd');
    EXPECT_EQ(table.driveOf("/mediax/a"), 'c');
    EXPECT_EQ(table.driveOf("/media/usb/UT"), 'e');
    EXPECT_EQ(table.driveOf("/media/usbstick"), 'd');
    EXPECT_EQ(table.driveOf("relative"), std::nullopt);
}

TEST(DriveTable, EachDriveRemembersItsOwnCurrentFolder) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "c" / "games");
    std::filesystem::create_directories(dir / "d" / "maps");
    DriveTable table({{'C', (dir / "c").string()}, {'d', (dir / "d").string()}});

    EXPECT_EQ(table.currentFolder('c'), (dir / "c").string()) << "the root until one is visited";
    table.rememberFolder((dir / "c" / "games").string());
    table.rememberFolder((dir / "d" / "maps").string());
    EXPECT_EQ(table.currentFolder('C'), (dir / "c" / "games").string());
    EXPECT_EQ(table.currentFolder('d'), (dir / "d" / "maps").string());
    EXPECT_EQ(table.currentFolder('x'), "");
}

TEST(DriveTable, ADriveIsReadyWhenItsFolderCanBeListed) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "c");
    DriveTable table({{'c', (dir / "c").string()}, {'e', (dir / "gone").string()}});
    EXPECT_TRUE(table.isReady('c'));
    EXPECT_FALSE(table.isReady('e'));
    EXPECT_FALSE(table.isReady('q'));
}

TEST(DriveTable, TheMachinesTableStartsWithTheRootAsC) {
    auto table = DriveTable::fromSystem();
    ASSERT_FALSE(table.drives().empty());
    EXPECT_EQ(table.drives().front().letter, 'c');
    EXPECT_EQ(table.drives().front().root, "/");
}

}  // namespace
}  // namespace varnox::platform
