#include <QCheckBox>
#include <QLabel>
#include <QTest>

#include "helpwin/frm_help.h"
#include "platform/files.h"
#include "tests/mainwin/main_window_fixture.h"
#include "tests/support/files.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using mainwin::frmBrindle;

class StartUp : public MainWindowTest {};

TEST_F(StartUp, WithoutConfigTheRecordStaysEmptyAndTheListsShowTheCurrentFolder) {
    auto& window = start();
    EXPECT_EQ(window.status(), frmBrindle::kNoConfigText);
    EXPECT_EQ(window.settingsRecord(), settings::SettingsRecord{});
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(),
              QString::fromStdString(platform::currentFolder()));
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(StartUp, ReadsTheRecordAndOpensTheGameFolder) {
    auto game = dir_ / "c" / "UnrealTournament";
    fs::create_directories(game / "Maps");
    writeFile(game / "ReadMe.txt", "x");
    writeConfig(game.string(), "c: [" + (dir_ / "c").string() + "]", "192.0.2.5", "admin", "pw");

    auto& window = start();
    EXPECT_EQ(window.status(), frmBrindle::kDefaultConfigText);
    const auto& record = window.settingsRecord();
    EXPECT_EQ(record.gstUTPath, game.string());
    EXPECT_EQ(record.gstUZPath, game.string() + "/uz/");
    EXPECT_EQ(record.gstServerIp, "192.0.2.5");
    EXPECT_EQ(record.gstUsername, "admin");
    EXPECT_EQ(record.gstPassword, "pw");
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(game));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(game));
    EXPECT_EQ(control<widgets::FileList>("File1")->count(), 1);
    EXPECT_TRUE(control<widgets::DriveList>("Drive1")->drive().startsWith("c:"));
}

TEST_F(StartUp, AGameOnAnotherDriveEndsOnTheGameFolder) {
    auto game = dir_ / "d" / "Games" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "D:");
    auto& window = start();
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(game));
    EXPECT_TRUE(control<widgets::DriveList>("Drive1")->drive().startsWith("d:"));
    EXPECT_EQ(window.status(), frmBrindle::kDefaultConfigText);
}

TEST_F(StartUp, ASavedFolderThatIsGoneIsReportedAndTheProgramGoesOn) {
    auto game = dir_ / "c" / "Removed";
    writeConfig(game.string(), "c:");
    auto& window = start();
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "Error 76: Path not found: " + q(game));
    EXPECT_EQ(window.settingsRecord().gstUTPath, game.string()) << "the record is kept";
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(),
              QString::fromStdString(platform::currentFolder()));

    // The window keeps answering.
    button("cmdRefresh")->click();
    EXPECT_EQ(boxes_.texts().size(), 1u);
}

TEST_F(StartUp, ASavedDriveThatIsNotReadyFallsBackToC) {
    auto game = dir_ / "c" / "UnrealTournament";
    fs::create_directories(game);
    writeConfig(game.string(), "e:");
    auto& window = start();
    EXPECT_TRUE(boxes_.shown().empty()) << "the fall-back shows no message";
    EXPECT_TRUE(control<widgets::DriveList>("Drive1")->drive().startsWith("c:"));
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(game))
        << "drive c: shows its current folder, the game folder just visited";
    EXPECT_EQ(window.status(), q(game));
}

TEST_F(StartUp, ASavedDriveThatDoesNotExistIsReported) {
    auto game = dir_ / "c" / "UnrealTournament";
    fs::create_directories(game);
    writeConfig(game.string(), "q:");
    start();
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_TRUE(boxes_.texts()[0].startsWith("Error 68: ")) << boxes_.texts()[0].toStdString();
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(game));
}

class Browsing : public MainWindowTest {};

TEST_F(Browsing, ChoosingADriveThatIsNotReadyFallsBackToCSilently) {
    fs::create_directories(dir_ / "c" / "Tools");
    drives_.rememberFolder((dir_ / "c" / "Tools").string());
    start();
    auto* drive = control<widgets::DriveList>("Drive1");
    drive->setCurrentIndex(drive->findText("e:", Qt::MatchStartsWith));  // as the user does
    EXPECT_TRUE(drive->drive().startsWith("c:"));
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(dir_ / "c" / "Tools"));
    EXPECT_EQ(window_->status(), q(dir_ / "c" / "Tools"));
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(Browsing, DriveThenFolderThenFilesFollowEachOther) {
    fs::create_directories(dir_ / "d" / "Maps");
    writeFile(dir_ / "d" / "Maps" / "DM-Deck16.unr", "map");
    start();
    auto* drive = control<widgets::DriveList>("Drive1");
    drive->setCurrentIndex(drive->findText("d:", Qt::MatchStartsWith));
    auto* dir = control<widgets::FolderList>("Dir1");
    EXPECT_EQ(dir->path(), q(dir_ / "d"));
    dir->setPath(q(dir_ / "d" / "Maps"));
    auto* files = control<widgets::FileList>("File1");
    EXPECT_EQ(files->path(), q(dir_ / "d" / "Maps"));
    ASSERT_EQ(files->count(), 1);

    writeFile(dir_ / "d" / "Maps" / "CTF-Face.unr", "map");
    EXPECT_EQ(files->count(), 1);
    button("cmdRefresh")->click();
    EXPECT_EQ(files->count(), 2);
}

TEST_F(Browsing, AFileClickShowsItsNameAndChoosesCompressOrDecompress) {
    auto maps = dir_ / "c" / "Maps";
    struct {
        const char* name;
        bool compress;
    } cases[] = {{"DM-Deck16.unr", true}, {"MAP.UNR.UZ", false},
                 {"map.unr.Uz", true},    {"map.unr.uZ", true},
                 {"fuzz.buz", false},     {"DM-Deck16.unr.uz", false},
                 {"uz", false},           {"z", true}};
    for (const auto& c : cases) {
        writeFile(maps / c.name, "x");
    }
    writeConfig(maps.string(), "c:");
    start();
    EXPECT_TRUE(button("cmdCompress")->isEnabled()) << "both enabled before the first click";
    EXPECT_TRUE(button("cmdDecompress")->isEnabled());
    for (const auto& c : cases) {
        clickFile(c.name);
        EXPECT_EQ(window_->status(), c.name);
        EXPECT_EQ(button("cmdCompress")->isEnabled(), c.compress) << c.name;
        EXPECT_EQ(button("cmdDecompress")->isEnabled(), !c.compress) << c.name;
    }
}

TEST_F(Browsing, ChangingFolderLeavesTheButtonsAsTheLastClickSetThem) {
    auto maps = dir_ / "c" / "Maps";
    writeFile(maps / "a.unr.uz", "x");
    writeConfig(maps.string(), "c:");
    start();
    clickFile("a.unr.uz");
    control<widgets::FolderList>("Dir1")->setPath(q(dir_ / "c"));
    EXPECT_FALSE(button("cmdCompress")->isEnabled());
    EXPECT_TRUE(button("cmdDecompress")->isEnabled());
}

TEST_F(Browsing, TheGreyedCheckBoxCannotBeTicked) {
    start();
    auto* hide = control<QCheckBox>("chkHide");
    QTest::mouseClick(hide, Qt::LeftButton);
    hide->setFocus();
    QTest::keyClick(hide, Qt::Key_Space);
    EXPECT_FALSE(hide->isChecked());
    auto* move = control<QCheckBox>("chkMoveFiles");
    EXPECT_TRUE(move->isChecked());
    QTest::mouseClick(move, Qt::LeftButton);
    EXPECT_FALSE(move->isChecked());
}

TEST_F(Browsing, EnterOnAListClicksNoButton) {
    start();
    int clicks = 0;
    for (auto* b : window_->findChildren<QAbstractButton*>()) {
        QObject::connect(b, &QAbstractButton::clicked, [&] { ++clicks; });
    }
    for (const char* name : {"Drive1", "Dir1", "File1", "chkMoveFiles"}) {
        auto* w = control<QWidget>(name);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Escape);
    }
    EXPECT_EQ(clicks, 0);
    auto* refresh = button("cmdRefresh");
    refresh->setFocus();
    QTest::keyClick(refresh, Qt::Key_Return);
    EXPECT_EQ(clicks, 1) << "Enter clicks the button that has the focus";
}

TEST_F(Browsing, ExitEndsTheProgram) {
    start();
    button("cmdExit")->click();
    EXPECT_EQ(endProgramCalls_, 1);
    EXPECT_FALSE(window_->isVisible());
}

class HelpWindow : public MainWindowTest {
protected:
    QList<helpwin::frmHelp*> helpWindows() {
        QList<helpwin::frmHelp*> found;
        for (auto* w : QApplication::topLevelWidgets()) {
            if (auto* help = qobject_cast<helpwin::frmHelp*>(w)) {
                found << help;
            }
        }
        return found;
    }
};

TEST_F(HelpWindow, OneWindowThatOkHidesAndTheCloseBoxDestroys) {
    start();
    button("cmdHelp")->click();
    button("cmdHelp")->click();
    ASSERT_EQ(helpWindows().size(), 1) << "Help twice shows one window";
    auto* help = helpWindows().front();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->findChild<QLabel*>("lblInformation")->text(),
              helpwin::frmHelp::informationText());

    help->findChild<QAbstractButton*>("OKButton")->click();
    EXPECT_FALSE(help->isVisible());
    button("cmdHelp")->click();
    ASSERT_EQ(helpWindows().size(), 1);
    EXPECT_EQ(helpWindows().front(), help) << "OK keeps the window";
    EXPECT_TRUE(help->isVisible());

    QPointer<helpwin::frmHelp> closed = help;
    help->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "the close box destroys the window";
    button("cmdHelp")->click();
    ASSERT_EQ(helpWindows().size(), 1) << "and Help creates it anew";
    EXPECT_TRUE(helpWindows().front()->isVisible());
    EXPECT_TRUE(window_->isVisible()) << "the main window stays";
}

TEST(HelpPage, TheServerAdvertisementHasEightLinesWithTwoEmptyOnes) {
    QStringList lines = helpwin::frmHelp::serverInfoText().split(QChar('\r'));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(lines[6].isEmpty());
    for (int i : {0, 2, 3, 4, 5, 7}) {
        EXPECT_FALSE(lines[i].isEmpty()) << i;
    }
    EXPECT_FALSE(helpwin::frmHelp::serverInfoText().contains(QChar('\n')));
    EXPECT_TRUE(helpwin::frmHelp::helpText().startsWith(
        "Help?  If you need help with this tool then you probably shouldn't have it.  "));
}

TEST(HelpPage, EnterOnOkPutsItAwayAndEscapeDoesNothing) {
    helpwin::frmHelp help;
    help.show();
    auto* ok = help.findChild<QAbstractButton*>("OKButton");
    ok->setFocus();
    QTest::keyClick(&help, Qt::Key_Escape);
    EXPECT_TRUE(help.isVisible());
    QTest::keyClick(ok, Qt::Key_Return);
    EXPECT_FALSE(help.isVisible());
}

}  // namespace
}  // namespace varnox::test
