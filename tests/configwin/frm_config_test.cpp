// The configuration window inside the real main window, over drives of temporary folders:
// c: and d: exist, e: is missing (not ready) unless a test creates it. Before it, the parts
// that need no window: where the search looks for the game, and what a save plans.
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

#include "configwin/config_save.h"
#include "configwin/frm_config.h"
#include "configwin/game_search.h"
#include "tests/mainwin/main_window_fixture.h"
#include "tests/support/files.h"
#include "tests/support/permission_checks.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using configwin::frmConfig;

// Drive c:'s root is given with a trailing slash, as "/" is: the folder found still has one.
TEST(GameSearch, TheToolCountsInAnyLetterCaseTheFoldersOnlyAsSpelled) {
    TempDir dir;
    const platform::DriveTable drives({{'c', dir.str() + "/"}});
    const struct {
        const char* tool;  // path below the drive root
        bool found;
    } cases[] = {
        {"UnrealTournament/System/UCC.exe", true},
        {"UnrealTournament/System/ucc.exe", true},
        {"UnrealTournament/System/Ucc.Exe", true},
        {"UnrealTournament/System/UCC.exe.bak", false},
        {"UnrealTournament/UCC.exe", false},
        {"UnrealTournament/system/UCC.exe", false},
        {"unrealtournament/System/UCC.exe", false},
        {"Games/UnrealTournament/System/UCC.exe", false},
        {"UnrealTournament/System/UCC.exe/a folder, not the tool", false},
    };
    for (const auto& c : cases) {
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            fs::remove_all(entry.path());
        }
        writeFile(dir / c.tool, "tool");
        EXPECT_EQ(configwin::gameFolderOn(drives, 'c'),
                  c.found ? std::optional(dir.str() + "/UnrealTournament") : std::nullopt)
            << c.tool;
    }
}

TEST(SavePlan, TheFirstValueThatCannotBeStoredIsNamedByItsCaption) {
    const configwin::SavePlan root = configwin::planSave({"/", "c: [/]", "", "", "", ""});
    EXPECT_EQ(root.uzFolder, "//uz") << "plain concatenation";
    EXPECT_EQ(root.markerFile, "//uz/a.txt");
    const struct {
        configwin::ConfigEntries entries;
        std::optional<std::string> caption;
    } cases[] = {
        {{"/g", "c:", "192.0.2.1", "admin", "pw", "pw"}, std::nullopt},
        {{"/g\"x", "c:", "", "", "", ""}, "UT folder"},
        {{"/g\nx", "c:", "", "", "", ""}, "UT folder"},
        {{"/g", "c: [/m\"x]", "", "", "", ""}, "UT drive"},
        {{"/g", "c:", "192.0.2.1\"", "", "", ""}, "Redirect Server IP"},
        {{"/g", "c:", "", "ad\nmin", "", ""}, "User Name"},
        {{"/g", "c:", "", "admin\r", "", ""}, "User Name"},
        {{"/g", "c:", "", "", "p\"w", "p\"w"}, "Password"},
        // A password that is not confirmed is stored empty, so it cannot be in the way.
        {{"/g", "c:", "", "", "p\"w", "pw"}, std::nullopt},
        // In file order: the server address comes before the user name.
        {{"/g", "c:", "a\"", "b\"", "", ""}, "Redirect Server IP"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(configwin::unstorableCaption(configwin::planSave(c.entries)), c.caption)
            << c.entries.gameFolder << c.entries.serverIp << c.entries.username;
    }
}

class ConfigWindowTest : public MainWindowTest {
protected:
    // Clicks the main window's Configure button and returns the window it shows.
    frmConfig& configure() {
        button("cmdConfig")->click();
        const auto windows = windowsOf<frmConfig>();
        EXPECT_EQ(windows.size(), 1);
        if (windows.isEmpty()) {
            throw std::runtime_error("no configuration window");
        }
        config_ = windows.front();
        return *config_;
    }

    template <typename T = QLineEdit>
    T* field(const char* name) {
        T* found = config_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name) { field<QAbstractButton>(name)->click(); }
    QString text(const char* name) { return field(name)->text(); }
    // The five text boxes: the uz folder, server, user name, password and password again.
    QStringList boxTexts() {
        QStringList texts;
        for (const char* name :
             {"txtUZDrive", "txtServerIp", "txtUserName", "txtUserPwd", "txtUserPwd2"}) {
            texts << text(name);
        }
        return texts;
    }
    widgets::DriveList* drive2() { return field<widgets::DriveList>("Drive2"); }
    widgets::FolderList* dir2() { return field<widgets::FolderList>("Dir2"); }
    QString messages() { return field<QLabel>("lblMessages")->text(); }
    QString mainFolder() { return control<widgets::FolderList>("Dir1")->path(); }

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
    // A folder below drive `drive`'s root, made on the spot.
    fs::path folder(char drive, const std::string& name) const {
        fs::create_directories(dir_ / std::string(1, drive) / name);
        return dir_ / std::string(1, drive) / name;
    }

    QPointer<frmConfig> config_;
};

// --- Search -------------------------------------------------------------------------------

struct SearchCase {
    const char* name;
    std::set<std::string> toolOn;  // drives whose UnrealTournament/System holds the tool
    bool eReady;
    const char* tool;  // the tool's file name
    char expected;     // the drive the lists end on, 0 when the search changes nothing
};

class Search : public ConfigWindowTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(Search, TheListsEndOnTheLastDriveHoldingTheGame) {
    const SearchCase& c = GetParam();
    if (c.eReady) {
        folder('e', "");
    }
    for (const auto& d : c.toolOn) {
        writeFile(dir_ / d / "UnrealTournament" / "System" / c.tool, "tool");
    }
    folder('c', "UnrealTournament/Maps");  // game folders without their tool elsewhere
    folder('d', "UnrealTournament/Maps");
    start();
    configure();
    field("txtServerIp")->setText("192.0.2.1");
    const QString driveBefore = drive2()->drive();
    const QString dirBefore = dir2()->path();

    click("cmdSearch");
    EXPECT_EQ(drive2()->drive(), c.expected ? entry(c.expected) : driveBefore);
    EXPECT_EQ(dir2()->path(),
              c.expected ? q(dir_ / std::string(1, c.expected) / "UnrealTournament") : dirBefore);
    EXPECT_TRUE(boxes_.shown().empty()) << "the search shows nothing";
    EXPECT_EQ(messages(), frmConfig::kServerInfoText);
    EXPECT_EQ(text("txtServerIp"), "192.0.2.1");
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
    const fs::path game = folder('d', "UnrealTournament");
    writeFile(game / "System" / "UCC.exe", "tool");
    start();
    configure();
    click("cmdSearch");
    click("cmdSave");
    const std::string drive = entry('d').toStdString();
    EXPECT_EQ(readFile(configFile()),
              settings::formatSettings({game.string(), drive, "", "", "", game.string() + "/uz"}));
    EXPECT_EQ(readFile(game / "uz" / "a.txt"), "Do NOT delete this file.\r\n");
    EXPECT_EQ(messages(), savedText('d'));
    EXPECT_TRUE(boxes_.shown().empty());
}

// --- Load ---------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, WithoutASettingsFileTheListsGoToDriveCAndTheMainWindowHides) {
    drives_.rememberFolder(folder('c', "Tools").string());
    auto& main = start();
    ASSERT_EQ(main.status(), mainwin::frmBrindle::kNoConfigText);
    configure();
    EXPECT_EQ(field<QLabel>("lblInfo")->text(), frmConfig::kInfoText);
    EXPECT_EQ(messages(), frmConfig::kServerInfoText);
    EXPECT_EQ(boxTexts(), QStringList({"", "", "", "", ""}));
    EXPECT_EQ(drive2()->drive(), entry('c'));
    EXPECT_EQ(dir2()->path(), q(dir_ / "c" / "Tools"));
    EXPECT_TRUE(boxes_.shown().empty());
    EXPECT_TRUE(config_->isVisible());
    EXPECT_FALSE(main.isVisible());
    EXPECT_EQ(main.status(), "") << "Configure empties the main window's status line";
}

TEST_F(ConfigWindowTest, LoadFillsTheWindowFromTheFileAndSaveWritesItBackUnchanged) {
    const fs::path game = folder('d', "Games/UT");
    writeConfig(game.string(), entry('d').toStdString(), "redirect.example.org", "admin",
                "Se cret");
    const std::string before = readFile(configFile());
    start();
    configure();
    EXPECT_EQ(boxTexts(), QStringList({q(game) + "/uz", "redirect.example.org", "admin", "Se cret",
                                       "Se cret"}));
    EXPECT_EQ(drive2()->drive(), entry('d'));
    EXPECT_EQ(dir2()->path(), q(game));
    EXPECT_EQ(messages(), frmConfig::kServerInfoText);
    click("cmdSave");
    EXPECT_EQ(readFile(configFile()), before);
    EXPECT_EQ(messages(), savedText('d'));
    EXPECT_TRUE(boxes_.shown().empty());
}

// A saved setting that cannot be used: the lists go to drive c:, the boxes keep what the
// file gave them, and nothing is reported.
TEST_F(ConfigWindowTest, LoadFallsBackToDriveCWhenTheSavedPlaceCannotBeUsed) {
    const struct {
        const char* name;
        const char* drive;
        bool folderExists;
        char on;        // the drive the saved folder lies on
        bool listsOnC;  // else the lists show the saved folder
    } cases[] = {
        {"saved folder gone", "d:", false, 'd', true},
        {"saved drive not in the table", "q:", true, 'd', true},
        // The drive list's own fall-back takes drive c:, where the folder is found.
        {"saved drive not ready, folder on c:", "e:", true, 'c', false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drives_.rememberFolder(folder('c', "Home").string());
        const fs::path game = dir_ / std::string(1, c.on) / "UT";
        fs::remove_all(game);
        if (c.folderExists) {
            fs::create_directories(game);
        }
        writeConfig(game.string(), c.drive, "192.0.2.9", "admin", "pw");
        start();
        boxes_.clear();  // the main window's own start-up may have reported the setting
        configure();
        EXPECT_EQ(boxTexts(), QStringList({q(game) + "/uz", "192.0.2.9", "admin", "pw", "pw"}));
        EXPECT_EQ(drive2()->drive(), entry('c'));
        EXPECT_EQ(dir2()->path(), c.listsOnC ? q(dir_ / "c" / "Home") : q(game));
        EXPECT_TRUE(boxes_.shown().empty());
        delete config_.data();
    }
}

// --- Save ---------------------------------------------------------------------------------

TEST_F(ConfigWindowTest, PasswordsAreStoredOnlyWhenBothBoxesMatchExactly) {
    const fs::path game = folder('c', "UT");
    start();
    configure();
    dir2()->setPath(q(game));
    const struct {
        const char* typed;
        const char* again;
        const char* stored;
    } cases[] = {
        {"secret", "secret", "secret"},
        {"secret", "Secret", ""},
        {"", "", ""},
        {"pw ", "pw", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + "/" + c.again);
        field("txtUserPwd")->setText(c.typed);
        field("txtUserPwd2")->setText(c.again);
        click("cmdSave");
        ASSERT_TRUE(saved());
        EXPECT_EQ(saved()->password, c.stored);
        const bool differ = std::string(c.typed) != c.again;
        EXPECT_EQ(messages(),
                  savedText('c') + (differ ? "\n" + QString(frmConfig::kMismatchText) : QString()));
        EXPECT_EQ(text("txtUserPwd"), c.typed) << "the boxes keep what was typed";
    }
    EXPECT_TRUE(boxes_.shown().empty());
}

// An existing uz folder gets the marker it lacks; an existing marker is left as it is.
TEST_F(ConfigWindowTest, TheUzFolderGetsWhatIsMissingAndAnExistingMarkerIsLeftAlone) {
    start();
    configure();
    for (const char* marker : {"", "kept as it is\n"}) {
        const fs::path uz = folder('c', *marker ? "with marker/uz" : "without marker/uz");
        writeFile(uz / "DM-Deck16.unr.uz", "compressed");
        if (*marker) {
            writeFile(uz / "a.txt", marker);
        }
        dir2()->setPath(q(uz.parent_path()));
        click("cmdSave");
        EXPECT_TRUE(boxes_.shown().empty());
        EXPECT_EQ(messages(), savedText('c'));
        EXPECT_EQ(readFile(uz / "a.txt"), *marker ? marker : "Do NOT delete this file.\r\n");
        EXPECT_EQ(readFile(uz / "DM-Deck16.unr.uz"), "compressed");
        EXPECT_EQ(saved()->utPath, uz.parent_path().string());
    }
}

// The captions of every field are checked in the SavePlan test; here the folder the list
// gives, and the window's answer.
TEST_F(ConfigWindowTest, AValueTheFileCannotStoreIsRefusedAndNothingIsWritten) {
    const fs::path quoted = folder('c', "U\"T");
    start();
    const QString mainBefore = mainFolder();
    configure();
    dir2()->setPath(q(quoted));
    click("cmdSave");
    EXPECT_EQ(messages(), frmConfig::refusedText("UT folder"));
    EXPECT_TRUE(messages().contains("UT folder"));
    EXPECT_FALSE(fs::exists(configFile()));
    EXPECT_FALSE(fs::exists(quoted / "uz")) << "nothing is created";
    EXPECT_EQ(mainFolder(), mainBefore);
    EXPECT_TRUE(boxes_.shown().empty());
    // Mended, the same window saves.
    dir2()->setPath(q(folder('c', "UT")));
    click("cmdSave");
    EXPECT_TRUE(saved());
}

TEST_F(ConfigWindowTest, ASaveThatCannotWriteKeepsTheOldFileAndSaysSo) {
    const fs::path oldGame = folder('c', "Old");
    writeConfig(oldGame.string(), "c:", "192.0.2.1", "admin", "pw");
    const std::string before = readFile(configFile());
    start();
    configure();
    drive2()->setDrive("d:");
    dir2()->setPath(q(folder('d', "New")));
    field("txtServerIp")->setText("192.0.2.2");

    const fs::path program = services_.programFolder;
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
    {
        PermissionChecksEnforced enforced;
        if (!enforced.effective(dir_.path())) {
            fs::permissions(program, fs::perms::owner_all);
            GTEST_SKIP() << "file permissions do not bind this process";
        }
        click("cmdSave");
    }
    fs::permissions(program, fs::perms::owner_all);

    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_TRUE(boxes_.texts()[0].startsWith("Error 70: ")) << boxes_.texts()[0].toStdString();
    EXPECT_TRUE(boxes_.texts()[0].contains("config.txt")) << boxes_.texts()[0].toStdString();
    EXPECT_EQ(messages(), frmConfig::kNotSavedText);
    EXPECT_EQ(readFile(configFile()), before);
    EXPECT_EQ(mainFolder(), q(oldGame)) << "lists not moved";
    EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator()), 1)
        << "no temporary file left behind";
}

// --- The main window ------------------------------------------------------------------------

TEST_F(ConfigWindowTest, SaveMovesTheMainListsButNotTheSettingsRecord) {
    writeConfig(folder('c', "Old").string(), "c:", "192.0.2.1", "admin", "pw");
    const fs::path newGame = folder('d', "New");
    auto& main = start();
    const settings::SettingsRecord record = main.settingsRecord();
    configure();
    drive2()->setCurrentIndex(drive2()->findText("d:", Qt::MatchStartsWith));
    dir2()->setPath(q(newGame));
    field("txtServerIp")->setText("192.0.2.2");
    click("cmdSave");

    EXPECT_EQ(control<widgets::DriveList>("Drive1")->drive(), entry('d'));
    EXPECT_EQ(mainFolder(), q(newGame));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(newGame));
    EXPECT_EQ(main.settingsRecord(), record) << "the record keeps the start-up values";
    EXPECT_EQ(saved()->serverIp, "192.0.2.2");
    EXPECT_FALSE(main.isVisible()) << "Save does not bring the main window back";

    // Done shows the main window with its lists read again.
    writeFile(newGame / "DM-New.unr", "map");
    fs::create_directories(newGame / "Maps");
    click("cmdDone");
    EXPECT_FALSE(config_->isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(control<widgets::FileList>("File1")->count(), 1);
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->currentItem()->childCount(), 2)
        << "uz, made by Save, and Maps";
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(ConfigWindowTest, DoneThenConfigureShowsTheWindowAsItWasLeft) {
    const fs::path game = folder('c', "UT");
    writeConfig(game.string(), "c:", "192.0.2.1", "admin", "pw");
    start();
    frmConfig* first = &configure();
    field("txtUserPwd2")->setText("other");
    click("cmdSave");
    const QString message = messages();
    ASSERT_TRUE(message.endsWith(frmConfig::kMismatchText));
    QTest::keyClicks(field("txtUserName"), "x");
    click("cmdLoad");  // Load and Help do nothing
    click("cmdHelp");
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 2) << "no other window opens";
    click("cmdDone");

    // A settings file changed meanwhile is not read again.
    writeConfig(game.string(), "c:", "198.51.100.1", "root", "");
    configure();
    EXPECT_EQ(config_.data(), first) << "the same window";
    EXPECT_EQ(messages(), message) << "the message label keeps the last message";
    EXPECT_EQ(boxTexts(), QStringList({q(game) + "/uz", "192.0.2.1", "adminx", "pw", "other"}));
    EXPECT_EQ(dir2()->path(), q(game));
    EXPECT_FALSE(window_->isVisible());
}

TEST_F(ConfigWindowTest, TheCloseBoxDestroysTheWindowAndConfigureLoadsItAnew) {
    const fs::path game = folder('c', "UT");
    writeConfig(game.string(), "c:", "192.0.2.1");
    start();
    configure();
    field("txtServerIp")->setText("changed");
    click("cmdSave");
    writeConfig(game.string(), "c:", "198.51.100.1");

    QPointer<frmConfig> closed = config_;
    config_->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "the close box destroys the window";
    EXPECT_FALSE(window_->isVisible()) << "and does not bring the main window back";

    configure();
    EXPECT_EQ(messages(), frmConfig::kServerInfoText) << "Load runs again";
    EXPECT_EQ(text("txtServerIp"), "198.51.100.1");
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

}  // namespace
}  // namespace varnox::test
