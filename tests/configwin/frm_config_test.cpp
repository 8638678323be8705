// The configuration window inside the real main window, over drives of temporary folders:
// c: and d: exist, e: is missing (not ready) unless a test creates it.
#include <sys/stat.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "configwin/frm_config.h"
#include "platform/files.h"
#include "tests/mainwin/main_window_fixture.h"
#include "tests/support/files.h"
#include "tests/support/permission_checks.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using configwin::frmConfig;

class ConfigWindowTest : public MainWindowTest {
protected:
    // The configuration windows that exist, shown or hidden.
    static QList<frmConfig*> configWindows() {
        QList<frmConfig*> found;
        for (auto* w : QApplication::topLevelWidgets()) {
            if (auto* config = qobject_cast<frmConfig*>(w)) {
                found << config;
            }
        }
        return found;
    }

    // Clicks the main window's Configure button and returns the window it shows.
    frmConfig& configure() {
        button("cmdConfig")->click();
        auto windows = configWindows();
        EXPECT_EQ(windows.size(), 1);
        config_ = windows.isEmpty() ? nullptr : windows.front();
        if (config_ == nullptr) {
            throw std::runtime_error("no configuration window");
        }
        return *config_;
    }

    template <typename T>
    T* field(const char* name) {
        T* found = config_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* box(const char* name) { return field<QLineEdit>(name); }
    widgets::DriveList* drive2() { return field<widgets::DriveList>("Drive2"); }
    widgets::FolderList* dir2() { return field<widgets::FolderList>("Dir2"); }
    QString messages() { return field<QLabel>("lblMessages")->text(); }
    void save() { field<QAbstractButton>("cmdSave")->click(); }

    fs::path configFile() const { return fs::path(services_.programFolder) / "config.txt"; }
    std::optional<settings::StoredSettings> saved() const {
        return settings::readSettingsFile(configFile().string());
    }
    // The drive list's entry for a drive, as Save stores it.
    QString entry(char letter) const {
        return QString::fromStdString(platform::DriveTable::entryText(*drives_.find(letter)));
    }
    QString savedText(char letter) const {
        return frmConfig::savedText(QString::fromStdString(services_.programFolder), entry(letter));
    }
    // Writes a stand-in tool file; the search only asks whether it is there.
    void putTool(const char* drive, const char* name = "UCC.exe") {
        writeFile(dir_ / drive / "UnrealTournament" / "System" / name, "tool");
    }

    QPointer<frmConfig> config_;
};

// --- Search -------------------------------------------------------------------------------

struct SearchCase {
    const char* name;
    std::set<std::string> toolOn;  // drives whose UnrealTournament/System holds UCC.exe
    bool eReady;
    const char* tool;  // the tool's file name
    char expected;     // the drive the lists end on, 0 when the search changes nothing
};

void PrintTo(const SearchCase& c, std::ostream* os) {
    *os << c.name;
}

class Search : public ConfigWindowTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(Search, TheListsEndOnTheLastDriveHoldingTheGame) {
    const SearchCase& c = GetParam();
    if (c.eReady) {
        fs::create_directories(dir_ / "e");
    }
    for (const auto& d : c.toolOn) {
        putTool(d.c_str(), c.tool);
    }
    // A game folder without its tool, on every drive that has none.
    for (const char* d : {"c", "d"}) {
        fs::create_directories(dir_ / d / "UnrealTournament" / "Maps");
    }
    start();
    configure();
    box("txtServerIp")->setText("192.0.2.1");
    QString driveBefore = drive2()->drive();
    QString dirBefore = dir2()->path();

    field<QAbstractButton>("cmdSearch")->click();

    if (c.expected == 0) {
        EXPECT_EQ(drive2()->drive(), driveBefore);
        EXPECT_EQ(dir2()->path(), dirBefore);
    } else {
        EXPECT_EQ(drive2()->drive(), entry(c.expected));
        EXPECT_EQ(dir2()->path(), q(dir_ / std::string(1, c.expected) / "UnrealTournament"));
    }
    EXPECT_TRUE(boxes_.shown().empty()) << "the search shows nothing";
    EXPECT_EQ(messages(), frmConfig::kServerInfoText);
    EXPECT_EQ(box("txtServerIp")->text(), "192.0.2.1");
    EXPECT_FALSE(fs::exists(configFile())) << "the search saves nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Drives, Search,
    ::testing::Values(SearchCase{"OnCOnly", {"c"}, false, "UCC.exe", 'c'},
                      SearchCase{"OnCAndD", {"c", "d"}, false, "ucc.exe", 'd'},
                      SearchCase{"OnCDAndE", {"c", "d", "e"}, true, "Ucc.Exe", 'e'},
                      SearchCase{"NowhereButFoldersWithoutTheTool", {}, true, "UCC.exe", 0},
                      SearchCase{"EIsNotReady", {"c"}, false, "ucc.exe", 'c'}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigWindowTest, SearchThenSaveStoresTheFoundFolderAndDrive) {
    fs::path game = dir_ / "d" / "UnrealTournament";
    for (const char* sub : {"Maps", "Sounds", "Music", "Textures"}) {
        fs::create_directories(game / sub);
    }
    putTool("d");
    start();
    configure();
    field<QAbstractButton>("cmdSearch")->click();
    save();

    auto stored = saved();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->utPath, game.string());
    EXPECT_EQ(stored->utDrive, entry('d').toStdString());
    std::string drive = entry('d').toStdString();
    EXPECT_EQ(readFile(configFile()), "\"UTpath:\",\"" + game.string() + "\"\r\n" +
                                          "\"UTDrive:\",\"" + drive + "\"\r\n" +
                                          "\"ServerIP:\",\"\"\r\n"
                                          "\"Username:\",\"\"\r\n"
                                          "\"Password:\",\"\"\r\n"
                                          "\"UZPath:\",\"" +
                                          game.string() + "/uz\"\r\n");
    EXPECT_EQ(readFile(game / "uz" / "a.txt"), "Do NOT delete this file.\r\n");
    EXPECT_EQ(messages(), savedText('d'));
    EXPECT_TRUE(boxes_.shown().empty());
    // The main window's lists follow.
    EXPECT_EQ(control<widgets::DriveList>("Drive1")->drive(), entry('d'));
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(game));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(game));
}

// --- The drive list -----------------------------------------------------------------------

TEST_F(ConfigWindowTest, ADriveThatIsNotReadySendsBothListsToCSilently) {
    fs::create_directories(dir_ / "c" / "Tools");
    fs::create_directories(dir_ / "d" / "Games");
    start();
    configure();
    dir2()->setPath(q(dir_ / "c" / "Tools"));

    auto* drive = drive2();
    drive->setCurrentIndex(drive->findText("d:", Qt::MatchStartsWith));  // as the user does
    EXPECT_EQ(dir2()->path(), q(dir_ / "d"));
    dir2()->setPath(q(dir_ / "d" / "Games"));
    EXPECT_EQ(drive2()->drive(), entry('d')) << "choosing a folder changes nothing else";

    drive->setCurrentIndex(drive->findText("e:", Qt::MatchStartsWith));
    EXPECT_EQ(drive2()->drive(), entry('c'));
    EXPECT_EQ(dir2()->path(), q(dir_ / "c" / "Tools")) << "drive c:'s current folder";
    EXPECT_TRUE(boxes_.shown().empty());
    EXPECT_FALSE(window_->isVisible()) << "the main window stays hidden";
}

// --- Load ---------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, LoadWithoutASettingsFilePutsTheListsOnDriveC) {
    fs::create_directories(dir_ / "c" / "Tools");
    drives_.rememberFolder((dir_ / "c" / "Tools").string());
    start();
    configure();
    EXPECT_EQ(field<QLabel>("lblInfo")->text(), frmConfig::kInfoText);
    EXPECT_EQ(messages(), frmConfig::kServerInfoText);
    for (const char* name :
         {"txtUZDrive", "txtServerIp", "txtUserName", "txtUserPwd", "txtUserPwd2"}) {
        EXPECT_TRUE(box(name)->text().isEmpty()) << name;
    }
    EXPECT_EQ(drive2()->drive(), entry('c'));
    EXPECT_EQ(dir2()->path(), q(dir_ / "c" / "Tools"));
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(ConfigWindowTest, LoadFillsFieldsAndListsFromTheSettingsFile) {
    fs::path game = dir_ / "d" / "Games" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "D:", "redirect.example.org", "admin", "Se cret");
    start();
    configure();
    EXPECT_EQ(box("txtServerIp")->text(), "redirect.example.org");
    EXPECT_EQ(box("txtUserName")->text(), "admin");
    EXPECT_EQ(box("txtUserPwd")->text(), "Se cret");
    EXPECT_EQ(box("txtUserPwd2")->text(), "Se cret");
    EXPECT_EQ(box("txtUZDrive")->text(), q(game) + "/uz");
    EXPECT_EQ(drive2()->drive(), entry('d'));
    EXPECT_EQ(dir2()->path(), q(game));
    EXPECT_EQ(messages(), frmConfig::kServerInfoText);
    EXPECT_TRUE(boxes_.shown().empty());
}

// A saved setting that cannot be used: the lists go to drive c:, the boxes keep what the
// file gave them, and nothing is reported.
TEST_F(ConfigWindowTest, LoadFallsBackToDriveCWhenTheSavedPlaceCannotBeUsed) {
    struct {
        const char* name;
        const char* drive;
        bool folderExists;
        bool onC;  // the saved folder lies on c:
        bool listsOnC;
    } cases[] = {
        {"saved folder gone", "d:", false, false, true},
        {"saved drive not in the table", "q:", true, false, true},
        {"saved drive missing from the file", "", true, false, true},
        // The drive list's own fall-back takes drive c:, where the folder is found.
        {"saved drive not ready, folder on c:", "e:", true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path game = dir_ / (c.onC ? "c" : "d") / "UT";
        fs::remove_all(game);
        if (c.folderExists) {
            fs::create_directories(game);
        }
        fs::create_directories(dir_ / "c" / "Home");
        drives_.rememberFolder((dir_ / "c" / "Home").string());
        writeConfig(game.string(), c.drive, "192.0.2.9", "admin", "pw");
        start();
        boxes_.clear();  // the main window's own start-up may have reported the setting
        configure();
        EXPECT_EQ(box("txtServerIp")->text(), "192.0.2.9");
        EXPECT_EQ(box("txtUserName")->text(), "admin");
        EXPECT_EQ(box("txtUserPwd")->text(), "pw");
        EXPECT_EQ(box("txtUserPwd2")->text(), "pw");
        EXPECT_EQ(box("txtUZDrive")->text(), q(game) + "/uz");
        EXPECT_EQ(drive2()->drive(), entry('c'));
        EXPECT_EQ(dir2()->path(), c.listsOnC ? q(dir_ / "c" / "Home") : q(game));
        EXPECT_TRUE(boxes_.shown().empty());
        delete config_.data();
    }
}

TEST_F(ConfigWindowTest, AnUnreadableSettingsFileLeavesTheBoxesEmptyAndTheListsOnC) {
    fs::path game = dir_ / "d" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "d:", "192.0.2.9", "admin", "pw");
    start();
    fs::permissions(configFile(), fs::perms::none);
    PermissionChecksEnforced enforced;
    if (!enforced.effective(dir_.path())) {
        GTEST_SKIP() << "file permissions do not bind this process";
    }
    configure();
    EXPECT_TRUE(box("txtServerIp")->text().isEmpty());
    EXPECT_TRUE(box("txtUZDrive")->text().isEmpty());
    EXPECT_EQ(drive2()->drive(), entry('c'));
    EXPECT_EQ(dir2()->path(), q(dir_ / "c"));
    EXPECT_TRUE(boxes_.shown().empty());
}

// --- Save ---------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, SaveRightAfterLoadRewritesTheSameFile) {
    fs::path game = dir_ / "c" / "UnrealTournament";
    fs::create_directories(game / "uz");
    writeFile(game / "uz" / "a.txt", "Do NOT delete this file.\r\n");
    writeConfig(game.string(), entry('c').toStdString(), "192.0.2.4", "admin", "pw");
    std::string before = readFile(configFile());
    start();
    configure();
    save();
    EXPECT_EQ(readFile(configFile()), before);
    EXPECT_EQ(messages(), savedText('c'));
}

TEST_F(ConfigWindowTest, PasswordsAreStoredOnlyWhenBothBoxesMatchExactly) {
    fs::path game = dir_ / "c" / "UT";
    fs::create_directories(game);
    start();
    configure();
    dir2()->setPath(q(game));
    struct {
        const char* typed;
        const char* again;
        const char* stored;
    } cases[] = {
        {"secret", "secret", "secret"},
        {"secret", "Secret", ""},
        {"", "", ""},
        {"secret", "", ""},
        {"pw ", "pw", ""},
        {"x", "x", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + "/" + c.again);
        box("txtUserPwd")->setText(c.typed);
        box("txtUserPwd2")->setText(c.again);
        save();
        ASSERT_TRUE(saved());
        EXPECT_EQ(saved()->password, c.stored);
        bool differ = std::string(c.typed) != c.again;
        QString expected = savedText('c');
        if (differ) {
            expected += QStringLiteral("\nPassword doesn't match and will not be saved.");
        }
        EXPECT_EQ(messages(), expected);
        EXPECT_EQ(box("txtUserPwd")->text(), c.typed) << "the boxes keep what was typed";
    }
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(ConfigWindowTest, TheUzFolderGetsWhatIsMissingAndAnExistingMarkerIsLeftAlone) {
    struct {
        const char* name;
        bool uzFolder;
        const char* marker;  // nullptr: none
        const char* markerAfter;
    } cases[] = {
        {"neither", false, nullptr, "Do NOT delete this file.\r\n"},
        {"folder without marker", true, nullptr, "Do NOT delete this file.\r\n"},
        {"both", true, "kept as it is\n", "kept as it is\n"},
    };
    start();
    configure();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path game = dir_ / "c" / c.name;
        fs::path uz = game / "uz";
        fs::create_directories(game);
        if (c.uzFolder) {
            writeFile(uz / "DM-Deck16.unr.uz", "compressed");
        }
        std::optional<fs::file_time_type> markerTime;
        if (c.marker != nullptr) {
            writeFile(uz / "a.txt", c.marker);
            fs::last_write_time(uz / "a.txt",
                                fs::file_time_type::clock::now() - std::chrono::hours(24));
            markerTime = fs::last_write_time(uz / "a.txt");
        }
        dir2()->setPath(q(game));
        save();
        EXPECT_TRUE(boxes_.shown().empty());
        EXPECT_EQ(messages(), savedText('c'));
        EXPECT_EQ(readFile(uz / "a.txt"), c.markerAfter);
        if (markerTime) {
            EXPECT_EQ(fs::last_write_time(uz / "a.txt"), *markerTime) << "not rewritten";
        }
        if (c.uzFolder) {
            EXPECT_EQ(readFile(uz / "DM-Deck16.unr.uz"), "compressed");
        }
        ASSERT_TRUE(saved());
        EXPECT_EQ(saved()->utPath, game.string());
    }
}

TEST_F(ConfigWindowTest, AValueTheFileCannotStoreIsRefusedAndNothingIsWritten) {
    fs::path plain = dir_ / "c" / "UT";
    fs::path quoted = dir_ / "c" / "U\"T";
    fs::create_directories(plain);
    fs::create_directories(quoted);
    start();
    QString dirBefore = control<widgets::FolderList>("Dir1")->path();
    configure();
    struct {
        fs::path game;
        const char* server;
        const char* user;
        const char* password;
        const char* caption;
    } cases[] = {
        {plain, "192.0.2.1\"", "admin", "pw", "Redirect Server IP"},
        {plain, "192.0.2.1", "ad\nmin", "pw", "User Name"},
        {plain, "192.0.2.1", "admin", "p\rw", "Password"},
        {quoted, "192.0.2.1", "admin", "pw", "UT folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        dir2()->setPath(q(c.game));
        box("txtServerIp")->setText(c.server);
        box("txtUserName")->setText(c.user);
        box("txtUserPwd")->setText(c.password);
        box("txtUserPwd2")->setText(c.password);
        save();
        EXPECT_EQ(messages(), frmConfig::refusedText(c.caption));
        EXPECT_TRUE(messages().contains(c.caption));
        EXPECT_FALSE(fs::exists(configFile()));
        EXPECT_FALSE(fs::exists(c.game / "uz")) << "nothing is created";
        EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), dirBefore);
        EXPECT_TRUE(boxes_.shown().empty());
    }
    // Mended, the same window saves.
    box("txtUserPwd")->setText("pw");
    box("txtUserPwd2")->setText("pw");
    dir2()->setPath(q(plain));
    save();
    ASSERT_TRUE(saved());
    EXPECT_EQ(saved()->password, "pw");
}

TEST_F(ConfigWindowTest, ASaveThatCannotWriteKeepsTheOldFileAndSaysSo) {
    fs::path oldGame = dir_ / "c" / "Old";
    fs::path newGame = dir_ / "d" / "New";
    fs::create_directories(oldGame);
    fs::create_directories(newGame);
    writeConfig(oldGame.string(), "c:", "192.0.2.1", "admin", "pw");
    std::string before = readFile(configFile());
    start();
    configure();
    drive2()->setDrive("d:");
    dir2()->setPath(q(newGame));
    box("txtServerIp")->setText("192.0.2.2");

    fs::path program = services_.programFolder;
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
    {
        PermissionChecksEnforced enforced;
        if (!enforced.effective(dir_.path())) {
            fs::permissions(program, fs::perms::owner_all);
            GTEST_SKIP() << "file permissions do not bind this process";
        }
        save();
    }
    fs::permissions(program, fs::perms::owner_all);

    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_TRUE(boxes_.texts()[0].startsWith("Error 70: ")) << boxes_.texts()[0].toStdString();
    EXPECT_TRUE(boxes_.texts()[0].contains("config.txt")) << boxes_.texts()[0].toStdString();
    EXPECT_EQ(messages(), frmConfig::kNotSavedText);
    EXPECT_EQ(readFile(configFile()), before);
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(oldGame)) << "lists not moved";
    EXPECT_EQ(control<widgets::DriveList>("Drive1")->drive(), entry('c'));
    EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator()), 1)
        << "no temporary file left behind";
}

// --- The main window ------------------------------------------------------------------------

TEST_F(ConfigWindowTest, SaveMovesTheMainListsButNotTheSettingsRecord) {
    fs::path oldGame = dir_ / "c" / "Old";
    fs::path newGame = dir_ / "d" / "New";
    fs::create_directories(oldGame);
    fs::create_directories(newGame);
    writeConfig(oldGame.string(), "c:", "192.0.2.1", "admin", "pw");
    auto& main = start();
    const settings::SettingsRecord record = main.settingsRecord();
    configure();
    drive2()->setCurrentIndex(drive2()->findText("d:", Qt::MatchStartsWith));
    dir2()->setPath(q(newGame));
    box("txtServerIp")->setText("192.0.2.2");
    save();

    EXPECT_EQ(control<widgets::DriveList>("Drive1")->drive(), entry('d'));
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(newGame));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(newGame));
    EXPECT_EQ(main.settingsRecord(), record) << "the record keeps the start-up values";
    EXPECT_EQ(saved()->serverIp, "192.0.2.2");
    EXPECT_FALSE(main.isVisible()) << "Save does not bring the main window back";

    // Done shows the main window with its lists read again.
    ASSERT_EQ(control<widgets::FolderList>("Dir1")->currentItem()->childCount(), 1);
    writeFile(newGame / "DM-New.unr", "map");
    fs::create_directories(newGame / "Maps");
    field<QAbstractButton>("cmdDone")->click();
    EXPECT_FALSE(config_->isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(control<widgets::FileList>("File1")->count(), 1);
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->currentItem()->childCount(), 2)
        << "uz, made by Save, and Maps";
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(ConfigWindowTest, ConfigureHidesTheMainWindowAndEmptiesItsStatusLine) {
    auto& main = start();
    ASSERT_EQ(main.status(), mainwin::frmBrindle::kNoConfigText);
    configure();
    EXPECT_TRUE(config_->isVisible());
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(main.status(), "");
    EXPECT_EQ(statuses_.back(), "");
}

TEST_F(ConfigWindowTest, DoneThenConfigureShowsTheWindowAsItWasLeft) {
    fs::path game = dir_ / "c" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "c:", "192.0.2.1", "admin", "pw");
    start();
    frmConfig* first = &configure();
    box("txtUserPwd2")->setText("other");
    save();
    QString message = messages();
    ASSERT_TRUE(message.endsWith("Password doesn't match and will not be saved."));
    QTest::keyClicks(box("txtUserName"), "x");
    field<QAbstractButton>("cmdDone")->click();

    // A settings file changed meanwhile is not read again.
    writeConfig(game.string(), "c:", "198.51.100.1", "root", "");
    configure();
    EXPECT_EQ(config_.data(), first) << "the same window";
    EXPECT_EQ(messages(), message) << "the message label keeps the last message";
    EXPECT_EQ(box("txtServerIp")->text(), "192.0.2.1");
    EXPECT_EQ(box("txtUserName")->text(), "adminx");
    EXPECT_EQ(box("txtUserPwd2")->text(), "other");
    EXPECT_EQ(dir2()->path(), q(game));
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(ConfigWindowTest, TheCloseBoxDestroysTheWindowAndConfigureLoadsItAnew) {
    fs::path game = dir_ / "c" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "c:", "192.0.2.1");
    start();
    configure();
    box("txtServerIp")->setText("changed");
    save();
    writeConfig(game.string(), "c:", "198.51.100.1");

    QPointer<frmConfig> closed = config_;
    config_->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "the close box destroys the window";
    EXPECT_FALSE(window_->isVisible()) << "and does not bring the main window back";

    configure();
    EXPECT_EQ(messages(), frmConfig::kServerInfoText) << "Load runs again";
    EXPECT_EQ(box("txtServerIp")->text(), "198.51.100.1");
    EXPECT_TRUE(config_->isVisible());
}

TEST_F(ConfigWindowTest, ClosingItWhileTheMainWindowIsHiddenEndsTheApplication) {
    start();
    configure();
    for (auto* w : QApplication::topLevelWidgets()) {
        ASSERT_TRUE(w == config_.data() || !w->isVisible())
            << "another window is open: " << w->objectName().toStdString();
    }
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, config_.data(), [this] { config_->close(); });
    QTimer::singleShot(10000, qApp, [] { QApplication::exit(1); });  // it never ended
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(lastClosed.count(), 1);
    EXPECT_EQ(endProgramCalls_, 0) << "nothing but the last window's close ended it";
}

// --- Keyboard -----------------------------------------------------------------------------

TEST_F(ConfigWindowTest, TabWalksTheFieldsAndEnterClicksOnlyTheFocusedButton) {
    fs::create_directories(dir_ / "c" / "UT");
    start();
    configure();
    config_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(config_));
    EXPECT_EQ(QApplication::focusWidget(), field<QWidget>("cmdSearch"));

    QStringList walked;
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(walked,
              QStringList({"Drive2", "Dir2", "txtServerIp", "txtUserName", "txtUserPwd",
                           "txtUserPwd2", "cmdSave", "cmdLoad", "cmdHelp", "cmdDone", "cmdSearch"}))
        << "the greyed txtUZDrive is skipped";

    int clicks = 0;
    for (auto* b : config_->findChildren<QAbstractButton*>()) {
        QObject::connect(b, &QAbstractButton::clicked, [&] { ++clicks; });
    }
    for (const char* name : {"Drive2", "Dir2", "txtServerIp", "txtUserPwd2"}) {
        auto* w = field<QWidget>(name);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Escape);
    }
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(config_->isVisible()) << "Escape closes nothing";
    auto* done = field<QWidget>("cmdDone");
    done->setFocus();
    QTest::keyClick(done, Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(config_->isVisible());
}

TEST_F(ConfigWindowTest, PasswordsShowStarsAndTheUzFolderBoxTakesNoInput) {
    fs::path game = dir_ / "c" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "c:");
    start();
    configure();
    for (const char* name : {"txtUserPwd", "txtUserPwd2"}) {
        QTest::keyClicks(box(name), "Pw1");
        EXPECT_EQ(box(name)->text(), "Pw1") << name;
        EXPECT_EQ(box(name)->displayText(), "***") << name;
    }
    auto* uz = box("txtUZDrive");
    uz->setFocus();
    QTest::keyClicks(uz, "typed");
    EXPECT_NE(QApplication::focusWidget(), uz);
    EXPECT_EQ(uz->text(), q(game) + "/uz");
}

TEST_F(ConfigWindowTest, LoadAndHelpDoNothing) {
    fs::path game = dir_ / "c" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "c:", "192.0.2.1");
    start();
    configure();
    box("txtServerIp")->setText("typed");
    std::string before = readFile(configFile());
    field<QAbstractButton>("cmdLoad")->click();
    field<QAbstractButton>("cmdHelp")->click();
    EXPECT_EQ(box("txtServerIp")->text(), "typed");
    EXPECT_EQ(messages(), frmConfig::kServerInfoText);
    EXPECT_EQ(readFile(configFile()), before);
    EXPECT_TRUE(config_->isVisible());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 2) << "no other window opens";
    EXPECT_TRUE(boxes_.shown().empty());
}

}  // namespace
}  // namespace varnox::test
