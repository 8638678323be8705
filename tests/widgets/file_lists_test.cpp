#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "platform/failure.h"
#include "tests/support/failures.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "widgets/file_lists.h"

namespace varnox::widgets {
namespace {

namespace fs = std::filesystem;

QString q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

using test::failureNumber;

// Drive c: over a temporary folder holding UnrealTournament with Maps (two maps and a hidden
// file) and System, and drive e: whose folder does not exist.
class ListsTest : public ::testing::Test {
protected:
    ListsTest() : drives_({{'c', (dir_ / "c").string()}, {'e', (dir_ / "e").string()}}) {
        fs::create_directories(ut_ / "System");
        for (const char* name : {"DM-Deck16.unr", "CTF-Face.unr", ".hidden"}) {
            test::writeFile(ut_ / "Maps" / name, "map");
        }
    }

    test::TempDir dir_;
    fs::path ut_ = dir_ / "c" / "UnrealTournament";
    platform::DriveTable drives_;
};

TEST_F(ListsTest, FolderListOpensFoldersAndReportsEachChange) {
    FolderList list(drives_);
    QSignalSpy changed(&list, &FolderList::pathChanged);
    list.setPath(q(ut_) + "/");
    EXPECT_EQ(list.path(), q(ut_));
    QStringList texts;
    for (QTreeWidgetItemIterator it(&list); *it; ++it) {
        texts << (*it)->text(0);
    }
    EXPECT_EQ(texts, (QStringList{q(dir_ / "c"), "UnrealTournament", "Maps", "System"}));
    EXPECT_EQ(list.currentItem()->text(0), "UnrealTournament");
    list.setPath(q(ut_));
    EXPECT_EQ(changed.count(), 1) << "the same folder again is no change";

    emit list.itemActivated(list.findItems("Maps", Qt::MatchExactly | Qt::MatchRecursive)[0], 0);
    EXPECT_EQ(list.path(), q(ut_ / "Maps"));
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(ListsTest, FolderListRefusesWhatItCannotOpenAndKeepsItsPlace) {
    FolderList list(drives_);
    list.setPath(q(ut_));
    QSignalSpy changed(&list, &FolderList::pathChanged);
    const struct {
        QString target;
        int number;
    } cases[] = {{q(dir_ / "c" / "Gone"), failure::kPathNotFound},
                 {"relative/folder", failure::kPathNotFound},
                 {"e:", failure::kDeviceUnavailable},
                 {"q:", failure::kDeviceUnavailable}};
    for (const auto& c : cases) {
        EXPECT_EQ(failureNumber([&] { list.setPath(c.target); }), c.number)
            << c.target.toStdString();
        EXPECT_EQ(list.path(), q(ut_));
    }
    // A folder that vanished after it was listed is reported, and the list stays.
    fs::remove_all(ut_ / "System");
    QSignalSpy failed(&list, &FolderList::openFailed);
    emit list.itemActivated(list.findItems("System", Qt::MatchExactly | Qt::MatchRecursive)[0], 0);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(list.path(), q(ut_));
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(ListsTest, FileListListsOrdinaryFilesAndReportsEveryChoice) {
    FileList list;
    list.resize(300, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.setPath(q(ut_ / "Maps"));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(0)->text(), "CTF-Face.unr");
    EXPECT_EQ(list.fileName(), "");

    QSignalSpy clicked(&list, &FileList::fileClicked);
    list.setCurrentRow(1);  // by code, as by the keyboard
    EXPECT_EQ(list.fileName(), "DM-Deck16.unr");
    EXPECT_EQ(clicked.count(), 1);
    const QRect second = list.visualItemRect(list.item(1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(clicked.count(), 2) << "a click on the selected file is a click too";
    const QRect first = list.visualItemRect(list.item(0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(clicked.count(), 3) << "one click, one report";
    EXPECT_EQ(list.fileName(), "CTF-Face.unr");

    EXPECT_EQ(failureNumber([&] { list.setPath(q(dir_ / "gone")); }), failure::kPathNotFound);
    EXPECT_EQ(list.path(), q(ut_ / "Maps"));
}

}  // namespace
}  // namespace varnox::widgets
