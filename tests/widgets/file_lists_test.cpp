#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "platform/failure.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "widgets/file_lists.h"

namespace varnox::widgets {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

int failureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

// Drives c: and d: over temporary folders, and e: whose folder does not exist.
class ListsTest : public ::testing::Test {
protected:
    ListsTest()
        : drives_({{'c', (dir_ / "c").string()},
                   {'d', (dir_ / "d").string()},
                   {'e', (dir_ / "e").string()}}) {}

    void SetUp() override {
        fs::create_directories(dir_ / "c" / "UnrealTournament" / "Maps");
        fs::create_directories(dir_ / "c" / "UnrealTournament" / "System");
        fs::create_directories(dir_ / "d" / "Games");
        test::writeFile(dir_ / "c" / "UnrealTournament" / "Maps" / "DM-Deck16.unr", "map");
        test::writeFile(dir_ / "c" / "UnrealTournament" / "Maps" / "CTF-Face.unr", "map");
        test::writeFile(dir_ / "c" / "UnrealTournament" / "Maps" / ".hidden", "x");
    }

    test::TempDir dir_;
    platform::DriveTable drives_;
};

QStringList itemTexts(QTreeWidget& tree) {
    QStringList texts;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
        texts << (*it)->text(0);
    }
    return texts;
}

TEST_F(ListsTest, FolderListShowsThePathAndTheSubFoldersAndReportsAChange) {
    FolderList list(drives_);
    QSignalSpy changed(&list, &FolderList::pathChanged);
    auto ut = dir_ / "c" / "UnrealTournament";

    list.setPath(q(ut) + "/");
    EXPECT_EQ(list.path(), q(ut));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(itemTexts(list), (QStringList{q(dir_ / "c"), "UnrealTournament", "Maps", "System"}));
    EXPECT_EQ(list.currentItem()->text(0), "UnrealTournament");

    list.setPath(q(ut));
    EXPECT_EQ(changed.count(), 1) << "the same folder again is no change";
}

TEST_F(ListsTest, FolderListRefusesWhatItCannotOpenAndKeepsItsPlace) {
    FolderList list(drives_);
    list.setPath(q(dir_ / "c"));
    QSignalSpy changed(&list, &FolderList::pathChanged);
    struct {
        QString target;
        int number;
    } cases[] = {{q(dir_ / "c" / "Gone"), failure::kPathNotFound},
                 {"relative/folder", failure::kPathNotFound},
                 {"e:", failure::kDeviceUnavailable},
                 {"q:", failure::kDeviceUnavailable}};
    for (const auto& c : cases) {
        EXPECT_EQ(failureNumber([&] { list.setPath(c.target); }), c.number)
            << c.target.toStdString();
        EXPECT_EQ(list.path(), q(dir_ / "c"));
    }
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(ListsTest, ADriveEntryOpensThatDrivesCurrentFolder) {
    FolderList list(drives_);
    list.setPath("d:");
    EXPECT_EQ(list.path(), q(dir_ / "d")) << "the root until a folder on it is visited";
    list.setPath(q(dir_ / "d" / "Games"));
    list.setPath(q(dir_ / "c" / "UnrealTournament"));
    list.setPath("D: [whatever the label says]");
    EXPECT_EQ(list.path(), q(dir_ / "d" / "Games"));
    list.setPath("c:");
    EXPECT_EQ(list.path(), q(dir_ / "c" / "UnrealTournament"));
}

TEST_F(ListsTest, ActivatingAFolderOpensIt) {
    FolderList list(drives_);
    list.setPath(q(dir_ / "c" / "UnrealTournament"));
    QSignalSpy changed(&list, &FolderList::pathChanged);
    auto maps = list.findItems("Maps", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(maps.size(), 1);
    emit list.itemActivated(maps.front(), 0);
    EXPECT_EQ(list.path(), q(dir_ / "c" / "UnrealTournament" / "Maps"));
    EXPECT_EQ(changed.count(), 1);

    // A folder that vanished after it was listed is reported, and the list stays.
    list.setPath(q(dir_ / "c" / "UnrealTournament"));
    fs::remove_all(dir_ / "c" / "UnrealTournament" / "System");
    QSignalSpy failed(&list, &FolderList::openFailed);
    auto system = list.findItems("System", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(system.size(), 1);
    emit list.itemActivated(system.front(), 0);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(list.path(), q(dir_ / "c" / "UnrealTournament"));
}

TEST_F(ListsTest, DriveListChangesOnlyWhenTheDriveDoes) {
    DriveList list(drives_);
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.itemText(1), q(dir_ / "d").prepend("d: [") + "]");
    list.setDrive("c:");
    QSignalSpy changed(&list, &DriveList::driveChanged);
    list.setDrive("D:");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(list.drive().startsWith("d: ["));
    list.setDrive("d: [anything]");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(failureNumber([&] { list.setDrive("z:"); }), failure::kDeviceUnavailable);
    EXPECT_EQ(failureNumber([&] { list.setDrive("nonsense"); }), failure::kDeviceUnavailable);
    EXPECT_TRUE(list.drive().startsWith("d:"));

    list.setCurrentIndex(0);  // as the user picks c: from the list
    EXPECT_EQ(changed.count(), 2);
    EXPECT_TRUE(list.drive().startsWith("c:"));
}

TEST_F(ListsTest, FileListListsOrdinaryFilesAndReportsEveryChoice) {
    FileList list;
    list.resize(300, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    auto maps = dir_ / "c" / "UnrealTournament" / "Maps";
    list.setPath(q(maps));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(0)->text(), "CTF-Face.unr");
    EXPECT_EQ(list.fileName(), "");

    QSignalSpy clicked(&list, &FileList::fileClicked);
    list.setCurrentRow(1);  // by code, as by the keyboard
    EXPECT_EQ(list.fileName(), "DM-Deck16.unr");
    EXPECT_EQ(clicked.count(), 1);

    QRect second = list.visualItemRect(list.item(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(clicked.count(), 2) << "a click on the selected file is a click too";

    QRect first = list.visualItemRect(list.item(0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(clicked.count(), 3) << "one click, one report";
    EXPECT_EQ(list.fileName(), "CTF-Face.unr");
}

TEST_F(ListsTest, FileListRefreshKeepsTheChoiceAndSeesNewFiles) {
    FileList list;
    auto maps = dir_ / "c" / "UnrealTournament" / "Maps";
    list.setPath(q(maps));
    list.setCurrentRow(1);
    QSignalSpy clicked(&list, &FileList::fileClicked);
    test::writeFile(maps / "DM-Deck16.unr.uz", "uz");
    list.refresh();
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.fileName(), "DM-Deck16.unr");
    EXPECT_EQ(clicked.count(), 0);

    list.setPath(q(dir_ / "d"));
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.fileName(), "");
    EXPECT_EQ(failureNumber([&] { list.setPath(q(dir_ / "gone")); }), failure::kPathNotFound);
    EXPECT_EQ(list.path(), q(dir_ / "d"));
}

}  // namespace
}  // namespace varnox::widgets
