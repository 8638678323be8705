#include <QTest>

#include "helpwin/frm_help.h"
#include "platform/files.h"
#include "tests/mainwin/main_window_fixture.h"
#include "tests/support/files.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using mainwin::frmBrindle;

class StartUp : public MainWindowTest {
protected:
    QString folder() { return control<widgets::FolderList>("Dir1")->path(); }
    QString drive() { return control<widgets::DriveList>("Drive1")->drive(); }
};

TEST_F(StartUp, WithoutConfigTheRecordStaysEmptyAndTheListsShowTheCurrentFolder) {
    auto& window = start();
    EXPECT_EQ(window.status(), frmBrindle::kNoConfigText);
    EXPECT_EQ(window.settingsRecord(), settings::SettingsRecord{});
    EXPECT_EQ(folder(), QString::fromStdString(platform::currentFolder()));
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(StartUp, ReadsTheRecordAndOpensTheGameFolder) {
    const auto game = dir_ / "d" / "Games" / "UT";
    fs::create_directories(game / "Maps");
    writeFile(game / "ReadMe.txt", "x");
    writeConfig(game.string(), "D:", "192.0.2.5", "admin", "pw");
    auto& window = start();
    EXPECT_EQ(window.status(), frmBrindle::kDefaultConfigText);
    EXPECT_EQ(window.settingsRecord(),
              (settings::SettingsRecord{"admin", "pw", "192.0.2.5", "D:", game.string(),
                                        game.string() + "/uz/"}));
    EXPECT_EQ(folder(), q(game));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(game));
    EXPECT_EQ(control<widgets::FileList>("File1")->count(), 1);
    EXPECT_TRUE(drive().startsWith("d:"));
    EXPECT_TRUE(boxes_.shown().empty());
    writeFile(game / "Later.txt", "x");
    button("cmdRefresh")->click();
    EXPECT_EQ(control<widgets::FileList>("File1")->count(), 2) << "Refresh reads the folder again";
}

TEST_F(StartUp, ASavedFolderThatIsGoneIsReportedAndTheProgramGoesOn) {
    const auto game = dir_ / "c" / "Removed";
    writeConfig(game.string(), "c:");
    auto& window = start();
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "Error 76: Path not found: " + q(game));
    EXPECT_EQ(window.settingsRecord().gstUTPath, game.string()) << "the record is kept";
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(folder(), QString::fromStdString(platform::currentFolder()));
    button("cmdRefresh")->click();
    EXPECT_EQ(boxes_.texts().size(), 1u) << "the window keeps answering";
}

TEST_F(StartUp, ASavedDriveThatIsNotReadyFallsBackToCAndAnUnknownOneIsReported) {
    const auto game = dir_ / "c" / "UnrealTournament";
    fs::create_directories(game);
    writeConfig(game.string(), "e:");
    auto& window = start();
    EXPECT_TRUE(boxes_.shown().empty()) << "the fall-back shows no message";
    EXPECT_TRUE(drive().startsWith("c:"));
    EXPECT_EQ(folder(), q(game)) << "drive c: shows its current folder, the game folder";
    EXPECT_EQ(window.status(), q(game));

    writeConfig(game.string(), "q:");
    start();
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_TRUE(boxes_.texts()[0].startsWith("Error 68: ")) << boxes_.texts()[0].toStdString();
    EXPECT_EQ(folder(), q(game));
}

class Browsing : public MainWindowTest {};

TEST_F(Browsing, AFileClickShowsItsNameAndChoosesCompressOrDecompress) {
    const auto maps = dir_ / "c" / "Maps";
    const struct {
        const char* name;
        bool compress;
    } cases[] = {
        {"DM-Deck16.unr", true}, {"MAP.UNR.UZ", false}, {"map.unr.Uz", true}, {"map.unr.uZ", true},
        {"fuzz.buz", false},     {"z", true},           {"uz", false}};
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
    control<widgets::FolderList>("Dir1")->setPath(q(dir_ / "c"));
    EXPECT_FALSE(button("cmdCompress")->isEnabled()) << "as the last click left them";
    EXPECT_TRUE(button("cmdDecompress")->isEnabled());
}

TEST_F(Browsing, ExitEndsTheProgram) {
    start();
    button("cmdExit")->click();
    EXPECT_EQ(endProgramCalls_, 1);
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(MainWindowTest, HelpShowsOneWindowThatOkHidesAndTheCloseBoxDestroys) {
    start();
    button("cmdHelp")->click();
    button("cmdHelp")->click();
    ASSERT_EQ(windowsOf<helpwin::frmHelp>().size(), 1) << "Help twice shows one window";
    auto* help = windowsOf<helpwin::frmHelp>().front();
    EXPECT_TRUE(help->isVisible());

    auto* ok = help->findChild<QAbstractButton*>("OKButton");
    ok->setFocus();
    QTest::keyClick(help, Qt::Key_Escape);
    EXPECT_TRUE(help->isVisible()) << "Escape does nothing";
    QTest::keyClick(ok, Qt::Key_Return);
    EXPECT_FALSE(help->isVisible());
    button("cmdHelp")->click();
    EXPECT_EQ(windowsOf<helpwin::frmHelp>(), QList<helpwin::frmHelp*>{help}) << "OK keeps it";
    EXPECT_TRUE(help->isVisible());

    QPointer<helpwin::frmHelp> closed = help;
    help->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "the close box destroys the window";
    button("cmdHelp")->click();
    ASSERT_EQ(windowsOf<helpwin::frmHelp>().size(), 1) << "and Help creates it anew";
    EXPECT_TRUE(windowsOf<helpwin::frmHelp>().front()->isVisible());
    EXPECT_TRUE(window_->isVisible()) << "the main window stays";
}

}  // namespace
}  // namespace varnox::test
