// The main window over temporary drives, with our ucc or stand-in tools as the game tool.
#include <signal.h>

#include <QCheckBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "platform/files.h"
#include "tests/support/game_folder.h"
#include "tests/windows/window_test.h"
#include "windows/ftp_window.h"
#include "windows/help_window.h"

namespace varnox::test {
namespace {

constexpr const char* kProgress = "Compressing file. Please wait...";

class MainWindowTest : public WindowTest {
protected:
    fs::path folder() { return control<windows::FolderList>("Dir1")->folder(); }
    std::string drive() { return control<windows::DriveList>("Drive1")->drive(); }
    windows::FileList* files() { return control<windows::FileList>("File1"); }

    // A game folder on drive c: with our ucc, or a stand-in that takes its time.
    void startInGame(bool slowTool = false) {
        makeGameFolder(game_, !slowTool);
        if (slowTool) {
            fs::copy_file(sourcePath("tests/windows/slow_tool.sh"), game_ / "System" / "UCC.exe");
        }
        writeConfig(game_, "c:");
        startMain();
    }
    void select(const fs::path& file) {
        control<windows::FolderList>("Dir1")->setFolder(file.parent_path());
        files()->refresh();
        clickFile(files(), q(file.filename()));
    }
    void press(const char* name, const fs::path& file = {}) {
        if (!file.empty()) {
            select(file);
        }
        statuses_.clear();
        button(name)->click();
    }
    // How many progress texts follow `from` in a row, checking their dots (1 to 9, then 1).
    int progressRun(int from) {
        int passes = 0;
        for (int i = from; i < statuses_.size() && statuses_[i].startsWith(kProgress); ++i) {
            ++passes;
            EXPECT_EQ(statuses_[i], kProgress + QString((passes - 1) % 9 + 1, '.')) << i;
        }
        return passes;
    }
    static QStringList compressStart(const fs::path& package) {
        return {"You have selected: " + q(package), "Compressing file... please wait..."};
    }

    fs::path game_ = dir_ / "c" / "UnrealTournament";
};

TEST_F(MainWindowTest, StartsInTheGameFolderOrSaysWhyNot) {
    auto& window = startMain();
    EXPECT_EQ(window.status(), windows::MainWindow::kNoConfigText);
    EXPECT_EQ(folder(), platform::currentFolder());

    const fs::path game = dir_ / "d" / "Games" / "UT";
    writeFile(game / "ReadMe.txt", "x");
    writeConfig(game, "D:", "192.0.2.5", "admin", "pw");
    startMain();
    EXPECT_EQ(main_->status(), windows::MainWindow::kDefaultConfigText);
    EXPECT_EQ(files()->folder(), game);
    EXPECT_TRUE(drive().starts_with("d:"));
    writeFile(game / "Later.txt", "x");
    button("cmdRefresh")->click();
    EXPECT_EQ(files()->count(), 2) << "Refresh reads the folder again";
    EXPECT_TRUE(boxes_.empty());

    // A path of a mebibyte is reported shortened, keeping its start and end; the settings
    // keep it whole.
    const std::string huge = "/" + std::string(1 << 20, 'x') + "/UT", onC = dir_ / "c" / "UT";
    fs::create_directories(onC);
    const std::tuple<std::string, const char*, const char*, const char*, fs::path> cases[] = {
        {huge, "c:", "Error 76: Path not found: /xxx", "xxx/UT", platform::currentFolder()},
        {onC, "e:", "", "", onC},            // not ready: drive c: quietly, whose folder it is
        {onC, "q:", "Error 68: ", "", onC},  // no such drive
    };
    for (const auto& [gameFolder, gameDrive, start, end, shown] : cases) {
        writeConfig(gameFolder, gameDrive);
        startMain();
        const auto reports = boxes_.take();
        ASSERT_EQ(reports.size(), *start ? 1u : 0u) << gameDrive;
        EXPECT_TRUE(reports.empty() || (reports[0].starts_with(start) &&
                                        reports[0].ends_with(end) && reports[0].size() <= 400))
            << reports[0];
        EXPECT_EQ(folder(), shown) << gameDrive;
        EXPECT_EQ(main_->settings().gameFolder, gameFolder);
        EXPECT_TRUE(main_->isVisible()) << "the program goes on";
    }
}

// Tabbing into the file list makes its first row current; that chooses nothing. A click, or
// Space or an arrow key on a row, chooses a file and shows its name.
TEST_F(MainWindowTest, AChosenFileShowsItsNameAndChoosesCompressOrDecompress) {
    const fs::path maps = dir_ / "c" / "Maps";
    const std::pair<const char*, bool> cases[] = {
        {"DM-Deck16.unr", true}, {"MAP.UNR.UZ", false}, {"map.unr.Uz", true}, {"x.uz", false}};
    for (const auto& [name, compress] : cases) {
        writeFile(maps / name, "x");
    }
    writeConfig(maps, "c:");
    startMain();
    main_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main_.get()));
    control("Dir1")->setFocus();
    statuses_.clear();
    QTest::keyClick(control("Dir1"), Qt::Key_Tab);
    ASSERT_TRUE(files()->hasFocus());
    EXPECT_TRUE(statuses_.isEmpty()) << statuses_.join('|').toStdString();
    EXPECT_TRUE(button("cmdCompress")->isEnabled()) << "both enabled before the first choice";
    EXPECT_TRUE(button("cmdDecompress")->isEnabled());
    button("cmdCompress")->click();
    EXPECT_EQ(statuses_.back(), "No file selected.");
    QTest::keyClick(files(), Qt::Key_Space);
    EXPECT_EQ(main_->status(), "DM-Deck16.unr");
    QTest::keyClick(files(), Qt::Key_Down);
    EXPECT_EQ(main_->status(), "MAP.UNR.UZ");
    for (const auto& [name, compress] : cases) {
        clickFile(files(), name);
        EXPECT_EQ(main_->status(), name);
        EXPECT_EQ(button("cmdCompress")->isEnabled(), compress) << name;
        EXPECT_EQ(button("cmdDecompress")->isEnabled(), !compress) << name;
    }
    control<windows::FolderList>("Dir1")->setFolder(dir_ / "c");
    EXPECT_FALSE(button("cmdCompress")->isEnabled()) << "as the last choice left them";
}

// A folder deep below the drive's root is scrolled into sight, its name shown whole rather
// than cut down to "...".
TEST_F(MainWindowTest, ADeepFolderIsScrolledIntoSight) {
    fs::path deep = dir_ / "c";
    for (int level = 0; level < 12; ++level) {
        deep /= "the folder of level " + std::to_string(level);
    }
    fs::create_directories(deep / "Maps");
    startMain();
    auto* list = control<windows::FolderList>("Dir1");
    list->setFolder(deep);
    QApplication::processEvents();
    const QRect row = list->visualItemRect(list->currentItem());
    EXPECT_GE(row.left(), 0);
    EXPECT_LE(row.right(), list->viewport()->width()) << "scrolled to the current folder";
    EXPECT_GE(row.width(), list->fontMetrics().horizontalAdvance(list->currentItem()->text(0)))
        << "its name shown whole";
}

// A tool that has already ended takes one pass with one dot; one that cannot start is
// reported, and the status says what did not happen.
TEST_F(MainWindowTest, ACommandWaitsOnceForAnEndedToolAndReportsOneThatCannotStart) {
    startInGame();
    const fs::path package = dir_ / "c" / "Downloads" / "DM-A.unr";
    writeFile(package, std::string(3000, 'a'));
    processes_.endedAtOnce = true;
    press("cmdCompress", package);
    ASSERT_EQ(statuses_.size(), 5) << statuses_.join('|').toStdString();
    EXPECT_EQ(statuses_.mid(0, 4), compressStart(package) << QString(kProgress) + "."
                                                          << "File compressed.");
    processes_.endedAtOnce = false;
    fs::remove(game_ / "System" / "UCC.exe");
    writeFile(package.parent_path() / "DM-B.unr", "b");
    press("cmdCompress", package.parent_path() / "DM-B.unr");
    ASSERT_FALSE(statuses_.isEmpty());
    EXPECT_EQ(statuses_.back(), "File not compressed.");
    const auto reports = boxes_.take();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].starts_with("Error 53: Cannot start " + (game_ / "System").string()))
        << reports[0];
}

// A wait that began inside another runs to its end first: the inner Compress also unticks
// the box, which the outer Decompress reads after its wait. The dots run from one to nine and
// start again at one.
TEST_F(MainWindowTest, ACompressStartedDuringADecompressWaitFinishesFirst) {
    startInGame(true);
    ::setenv("COMPRESS_DELAY", "1.5", 1);
    ::setenv("DECOMPRESS_DELAY", "1.3", 1);
    const fs::path inner = game_ / "Maps" / "DM-Inner.unr";
    writeFile(inner, "inner map");
    writeFile(game_ / "uz" / "DM-Outer.unr.uz", "outer map");
    select(game_ / "uz" / "DM-Outer.unr.uz");
    QTimer::singleShot(300, [&] {
        select(inner);
        control<QCheckBox>("chkMoveFiles")->setChecked(false);
        button("cmdCompress")->click();
    });
    press("cmdDecompress");
    ASSERT_GE(statuses_.size(), 5);
    EXPECT_EQ(statuses_.mid(0, 5),
              QStringList({q(game_ / "uz" / "DM-Outer.unr.uz"),
                           "decompressing file... please wait...", "DM-Inner.unr"})
                  << compressStart(inner));
    const int passes = progressRun(5);
    EXPECT_GE(passes, 11) << "the tenth pass shows one dot, the eleventh two";
    EXPECT_EQ(
        statuses_.mid(5 + passes),
        QStringList({"File compressed.", q(inner) + " -> " + q(inner) + ".uz (100%)",
                     "File decompressed.", "the name of the decompressed file is DM-Outer.unr"}));
    EXPECT_EQ(readFile(game_ / "uz" / "DM-Outer.unr"), "outer map")
        << "moved by the box as it is now";
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(MainWindowTest, ExitDuringTheWaitEndsTheProgramAndLeavesTheToolRunning) {
    startInGame(true);
    ::setenv("COMPRESS_DELAY", "1.3", 1);
    const fs::path package = game_ / "Maps" / "DM-A.unr";
    writeFile(package, "map");
    QTimer::singleShot(300, [&] { button("cmdExit")->click(); });
    press("cmdCompress", package);
    EXPECT_EQ(endProgramCalls_, 1);
    EXPECT_FALSE(main_->isVisible());
    EXPECT_EQ(::kill(processes_.started.at(0), 0), 0) << "the tool is still there";
    EXPECT_FALSE(statuses_.contains("File compressed.")) << "the command ends with the program";
    EXPECT_TRUE(boxes_.empty());
}

// Help shows one window, which OK hides and the close box destroys. FTP opens the FTP window
// with the settings the main window read, and its Close unloads it.
TEST_F(MainWindowTest, HelpAndFtpShowOneWindowEachUntilItIsClosed) {
    writeConfig(dir_ / "c", "c:", "192.0.2.5");
    startMain();
    button("cmdHelp")->click();
    button("cmdHelp")->click();
    ASSERT_EQ(windowsOf<windows::HelpWindow>().size(), 1) << "Help twice shows one window";
    auto* help = windowsOf<windows::HelpWindow>().front();
    auto* ok = control<QAbstractButton>(help, "OKButton");
    ok->setFocus();
    QTest::keyClick(help, Qt::Key_Escape);
    EXPECT_TRUE(help->isVisible()) << "Escape does nothing";
    QTest::keyClick(ok, Qt::Key_Return);
    EXPECT_FALSE(help->isVisible());
    button("cmdHelp")->click();
    EXPECT_EQ(windowsOf<windows::HelpWindow>(), QList<windows::HelpWindow*>{help}) << "OK keeps it";

    QPointer<windows::HelpWindow> closed = help;
    help->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "the close box destroys the window";
    button("cmdHelp")->click();
    EXPECT_EQ(windowsOf<windows::HelpWindow>().size(), 1) << "and Help creates it anew";

    button("cmdFtp")->click();
    ASSERT_EQ(windowsOf<windows::FtpWindow>().size(), 1);
    auto* ftp = windowsOf<windows::FtpWindow>().front();
    EXPECT_EQ(control<QLineEdit>(ftp, "txtServer")->text(), "192.0.2.5");
    control<QAbstractButton>(ftp, "cmdClose")->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(windowsOf<windows::FtpWindow>().empty()) << "Close unloads the FTP window";
    EXPECT_TRUE(main_->isVisible());
}

}  // namespace
}  // namespace varnox::test
