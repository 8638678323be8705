// The configuration window, opened from the main window, over temporary drives.
#include <QAccessible>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include "tests/support/permission_checks.h"
#include "tests/windows/window_test.h"
#include "windows/config_window.h"

namespace varnox::test {
namespace {

using windows::ConfigWindow;

class ConfigWindowTest : public WindowTest {
protected:
    ConfigWindow& configure() {
        button("cmdConfig")->click();
        const auto windows = windowsOf<ConfigWindow>();
        if (windows.size() != 1) {
            throw std::runtime_error("not one configuration window");
        }
        config_ = windows.front();
        return *config_;
    }
    template <typename T = QLineEdit>
    T* field(const char* name) {
        return control<T>(config_.data(), name);
    }
    void click(const char* name) { field<QAbstractButton>(name)->click(); }
    // The uz folder, server, user name, password and password again.
    QStringList boxTexts() {
        QStringList texts;
        for (const char* name :
             {"txtUZDrive", "txtServerIp", "txtUserName", "txtUserPwd", "txtUserPwd2"}) {
            texts << field(name)->text();
        }
        return texts;
    }
    windows::DriveList* drives() { return field<windows::DriveList>("Drive2"); }
    windows::FolderList* folders() { return field<windows::FolderList>("Dir2"); }
    QString messages() { return field<QLabel>("lblMessages")->text(); }
    std::string entry(char letter) const {
        return platform::DriveTable::entryText(*drives_.find(letter));
    }
    QString savedText(char letter) const {
        return ConfigWindow::savedText(q(dir_ / "program"), QString::fromStdString(entry(letter)));
    }
    fs::path folder(char drive, const std::string& name) const {
        fs::create_directories(dir_ / std::string(1, drive) / name);
        return dir_ / std::string(1, drive) / name;
    }

    QPointer<ConfigWindow> config_;
};

TEST_F(ConfigWindowTest, LoadFillsTheWindowOrFallsBackToDriveC) {
    drives_.rememberFolder(folder('c', "Home"));
    auto& main = startMain();
    configure();
    EXPECT_EQ(boxTexts(), QStringList({"", "", "", "", ""}));
    EXPECT_EQ(folders()->folder(), dir_ / "c" / "Home");
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(main.status(), "") << "Configure empties the main window's status line";
    delete config_.data();

    const fs::path game = folder('d', "Games/UT");
    // Saved settings that cannot be used send the lists to drive c:; the boxes keep what the
    // file gave them, and nothing is reported.
    const std::tuple<fs::path, const char*, fs::path> cases[] = {
        {game, "d:", game},
        {dir_ / "d" / "Gone", "d:", dir_ / "c" / "Home"},
        {game, "q:", dir_ / "c" / "Home"},
    };
    for (const auto& [gameFolder, gameDrive, shown] : cases) {
        writeConfig(gameFolder, gameDrive, "192.0.2.9", "admin", "Se cret");
        startMain();
        boxes_.take();
        configure();
        EXPECT_EQ(boxTexts(),
                  QStringList({q(gameFolder) + "/uz", "192.0.2.9", "admin", "Se cret", "Se cret"}));
        EXPECT_EQ(folders()->folder(), shown) << gameDrive;
        EXPECT_TRUE(boxes_.empty());
        delete config_.data();
    }
}

// A file written by a Windows program holds Windows-1252 bytes: they are shown as such and
// written back byte for byte; what the user types is stored as UTF-8.
TEST_F(ConfigWindowTest, ValuesKeepTheBytesTheyWereReadAs) {
    const fs::path game = folder('c', "UT");
    writeConfig(game, entry('c'), "h\xf6st", "J\xfcrgen", "p\xe4ss");
    const std::string before = readFile(services_.settingsFile);
    startMain();
    configure();
    EXPECT_EQ(boxTexts(),
              QStringList({q(game) + "/uz", QString::fromUtf8("h\u00f6st"),
                           QString::fromUtf8("J\u00fcrgen"), QString::fromUtf8("p\u00e4ss"),
                           QString::fromUtf8("p\u00e4ss")}));
    click("cmdSave");
    EXPECT_EQ(readFile(services_.settingsFile), before) << "Save right after Load writes the same";
    field("txtServerIp")->setText(QString::fromUtf8("h\u00f6st2"));
    click("cmdSave");
    const auto stored = settings::readSettingsFile(services_.settingsFile);
    EXPECT_EQ(stored->server, "h\xc3\xb6st2");
    EXPECT_EQ(stored->user, "J\xfcrgen");
    for (const auto& [box, caption] : {std::pair{"txtUZDrive", "Default UZ folder"},
                                       {"txtServerIp", "Redirect Server IP"},
                                       {"txtUserName", "User Name"},
                                       {"txtUserPwd", "Password"},
                                       {"txtUserPwd2", "Verify Password"}}) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(field(box))->text(QAccessible::Name),
                  caption);
    }
}

// Save moves the main window's lists at once and leaves it hidden; the settings it works with
// count from the next start.
TEST_F(ConfigWindowTest, SearchThenSaveStoresTheLastDriveHoldingTheGame) {
    writeFile(dir_ / "c" / "UnrealTournament" / "System" / "UCC.exe", "tool");
    writeFile(dir_ / "d" / "UnrealTournament" / "System" / "ucc.exe", "tool");
    writeConfig(folder('c', "Old"), "c:", "192.0.2.1", "admin", "pw");
    auto& main = startMain();
    const settings::Settings atStart = main.settings();
    configure();
    const std::string before = readFile(services_.settingsFile);
    click("cmdSearch");
    EXPECT_EQ(drives()->drive(), entry('d')) << "drive e: is not ready";
    EXPECT_EQ(folders()->folder(), dir_ / "d" / "UnrealTournament");
    EXPECT_EQ(readFile(services_.settingsFile), before) << "the search saves nothing";
    click("cmdSave");
    const std::string game = (dir_ / "d" / "UnrealTournament").string();
    EXPECT_EQ(
        readFile(services_.settingsFile),
        settings::formatSettings({game, entry('d'), "192.0.2.1", "admin", "pw", game + "/uz"}));
    EXPECT_EQ(control<windows::FolderList>("Dir1")->folder(), game);
    EXPECT_EQ(control<windows::DriveList>("Drive1")->drive(), entry('d'));
    EXPECT_TRUE(main.settings() == atStart);
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ConfigWindowTest, SaveSaysWhatItStoredAndRefusesWhatItCannot) {
    const fs::path game = folder('c', "UT");
    startMain();
    configure();
    folders()->setFolder(game);
    field("txtUserPwd")->setText("secret");
    field("txtUserPwd2")->setText("Secret");
    click("cmdSave");
    EXPECT_EQ(messages(), savedText('c') + "\n" + ConfigWindow::kMismatchText);
    EXPECT_EQ(field("txtUserPwd")->text(), "secret") << "the boxes keep what was typed";

    const std::string before = readFile(services_.settingsFile);
    folders()->setFolder(folder('c', "U\"T"));
    click("cmdSave");
    EXPECT_EQ(messages(), ConfigWindow::refusedText("UT folder"));
    EXPECT_FALSE(fs::exists(dir_ / "c" / "U\"T" / "uz")) << "nothing is created";

    folders()->setFolder(game);
    fs::permissions(dir_ / "program", fs::perms::owner_read | fs::perms::owner_exec);
    {
        PermissionChecksEnforced enforced;
        if (enforced.effective(dir_.path())) {
            field("txtServerIp")->setText("192.0.2.2");
            click("cmdSave");
            const auto reports = boxes_.take();
            ASSERT_EQ(reports.size(), 1u);
            EXPECT_TRUE(reports[0].starts_with("Error 70: ")) << reports[0];
            EXPECT_EQ(messages(), ConfigWindow::kNotSavedText);
        }
    }
    fs::permissions(dir_ / "program", fs::perms::owner_all);
    EXPECT_EQ(readFile(services_.settingsFile), before);
}

TEST_F(ConfigWindowTest, DoneBringsTheMainWindowBackAndKeepsTheWindow) {
    const fs::path newGame = folder('d', "New");
    auto& main = startMain();
    auto* first = &configure();
    drives()->setDrive("d:");
    folders()->setFolder(newGame);
    field("txtServerIp")->setText("192.0.2.2");
    click("cmdSave");

    writeFile(newGame / "DM-New.unr", "map");
    click("cmdLoad");  // Load and Help do nothing
    click("cmdHelp");
    click("cmdDone");
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(control<windows::FileList>("File1")->count(), 1) << "the lists are read again";
    const QString message = messages();
    configure();
    EXPECT_EQ(config_.data(), first) << "Done keeps the window";
    EXPECT_EQ(messages(), message);

    config_->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(config_.isNull()) << "the close box destroys the window";
    configure();
    EXPECT_EQ(field("txtServerIp")->text(), "192.0.2.2") << "and Configure loads it anew";
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ConfigWindowTest, ClosingItWhileTheMainWindowIsHiddenEndsTheApplication) {
    startMain();
    configure();
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, config_.data(), [this] { config_->close(); });
    QTimer::singleShot(10000, qApp, [] { QApplication::exit(1); });  // it never ended
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(lastClosed.count(), 1);
    EXPECT_EQ(endProgramCalls_, 0) << "nothing but the last window's close ended it";
}

}  // namespace
}  // namespace varnox::test
