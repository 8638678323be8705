// The settings file and a save, over real temporary folders.
#include <gtest/gtest.h>

#include "settings/settings_file.h"
#include "settings/settings_save.h"
#include "tests/support/failures.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::settings {

void PrintTo(const Settings& s, std::ostream* os) {
    *os << testing::PrintToString(std::vector<std::string>{s.gameFolder, s.gameDrive, s.server,
                                                           s.user, s.password, s.uzFolder});
}

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::failureNumber;
using test::readFile;
using test::TempDir;

const SettingsToWrite kTypical{
    "/home/ann/UnrealTournament",   "c: [/]", "redirect.example.org", "ann", "s3cret",
    "/home/ann/UnrealTournament/uz"};

TEST(SettingsFile, WritesSixQuotedRecordsAndReadsThemBack) {
    TempDir dir;
    const fs::path file = settingsFilePath(dir.path());
    writeSettingsFile(file, {"/games/ut", "c: [/]", "10.0.0.7", "admin", "", "/games/ut/uz"});
    EXPECT_EQ(readFile(file),
              "\"UTpath:\",\"/games/ut\"\r\n\"UTDrive:\",\"c: [/]\"\r\n"
              "\"ServerIP:\",\"10.0.0.7\"\r\n\"Username:\",\"admin\"\r\n"
              "\"Password:\",\"\"\r\n\"UZPath:\",\"/games/ut/uz\"\r\n");
    const SettingsToWrite cases[] = {
        kTypical,
        {},
        {"/media/UT, GOTY", "d: [/media]", " host , ", "  user  ", "pass, word\t", "/x"},
        {"UZPath:", "UTpath:", ",", "Password:", "Username:", "UTDrive:"},
        {"/home/jos\xE9/UT", "c: [/]", "serveur", "Jos\xE9", "p\xE4ss\xFF", "/x"},
        {"/ut", "c: [/]", "h", "u", "pa\0ss"s, "/ut/uz"},
    };
    for (const SettingsToWrite& v : cases) {
        writeSettingsFile(file, v);
        EXPECT_EQ(readSettingsFile(file), (Settings{v.gameFolder, v.gameDrive, v.server, v.user,
                                                    v.password, v.gameFolder + "/uz/"}))
            << v.gameFolder;
    }
    EXPECT_EQ(test::namesIn(dir.path()).size(), 1u);
}

TEST(SettingsFile, ReadsHandMadeFilesItemByItem) {
    // Expected: game folder, drive, server, user, password, uz folder.
    const struct {
        const char* name;
        std::string content;
        Settings expected;
    } cases[] = {
        {"empty", "", {"", "", "", "", "", "/uz/"}},
        {"byte order mark skipped; other order, UZPath: ignored",
         "\xEF\xBB\xBF\"Password:\",\"pw\"\r\n\"UZPath:\",\"/elsewhere\"\r\n\"Username:\",\"u\"\r\n"
         "\"ServerIP:\",\"h\"\r\n\"UTDrive:\",\"c: [/]\"\r\n\"UTpath:\",\"/g/\"\r\n",
         {"/g/", "c: [/]", "h", "u", "pw", "/g//uz/"}},
        {"key twice, last wins; other letter case passed over",
         "\"UTpath:\",\"/1\"\r\n\"utpath:\",\"/a\"\r\n\"UTpath:\",\"/2\"\r\n",
         {"/2", "", "", "", "", "/2/uz/"}},
        {"LF, LF CR and CR line ends, none at the end; text after a closing quote ignored",
         "\"UTpath:\" junk,\"/g\"more\"\n\r\"Username:\",\"u\"\r\"Password:\",\"pw\"",
         {"/g", "", "", "u", "pw", "/g/uz/"}},
        {"plain items lose trailing blanks; blank lines skipped",
         "  UTpath: ,  /ut \t\r\n\r\n   \r\nServerIP:\t,10.0.0.1  \r\n",
         {"/ut", "", "10.0.0.1", "", "", "/ut/uz/"}},
        {"a lone key shifts the pairing",
         "\"UTDrive:\"\r\n\"UTpath:\",\"/g\"\r\n",
         {"", "UTpath:", "", "", "", "/uz/"}},
        {"unpaired last key gets empty",
         "\"Password:\",\"pw\"\r\n\"Password:\"\r\n",
         {"", "", "", "", "", "/uz/"}},
        {"unterminated quote runs to the end",
         "\"UTpath:\",\"/g\r\n",
         {"/g\r\n", "", "", "", "", "/g\r\n/uz/"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseSettings(c.content), c.expected) << c.name;
    }
}

// Beside the program when it may write there, outside /usr; else the user's config folder,
// made for the owner only, as the file is.
TEST(SettingsFile, LivesBesideTheProgramOrInTheUsersConfigFolder) {
    TempDir dir;
    fs::create_directories(dir / "program");
    ::setenv("HOME", dir.str().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "xdg").c_str(), 1);
    EXPECT_EQ(settingsFileFor(dir / "program"), dir / "program" / "config.txt");
    EXPECT_EQ(settingsFileFor(dir / "missing"), dir / "xdg" / "varnox" / "config.txt");
    EXPECT_EQ(settingsFileFor("/usr/bin"), dir / "xdg" / "varnox" / "config.txt")
        << "under /usr, even where root may write";
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    const fs::path file = settingsFileFor("/usr/bin");
    ASSERT_EQ(file, dir / ".config" / "varnox" / "config.txt");
    writeSettingsFile(file, kTypical);
    EXPECT_EQ(fs::status(file.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// A value it cannot store is refused, and a write that fails half way, as on a full disk
// (here by a file-size limit), stops there: either way the old file stays as it was and
// nothing else is left behind. Refused permission: ConfigWindowTest.
TEST(SettingsFile, AValueItCannotStoreOrAFailedWriteKeepsTheOldFile) {
    const std::pair<std::string SettingsToWrite::*, const char*> fields[] = {
        {&SettingsToWrite::gameFolder, "UTpath"}, {&SettingsToWrite::gameDrive, "UTDrive"},
        {&SettingsToWrite::server, "ServerIP"},   {&SettingsToWrite::user, "Username"},
        {&SettingsToWrite::password, "Password"}, {&SettingsToWrite::uzFolder, "UZPath"}};
    const char* const bad[] = {"a\"b", "a\rb", "line\n"};
    for (int i = 0; i < 6; ++i) {
        SettingsToWrite values = kTypical;
        values.*fields[i].first = bad[i % 3];
        EXPECT_EQ(unstorableField(values)->name(), fields[i].second);
    }
    TempDir dir;
    const fs::path file = settingsFilePath(dir.path());
    test::writeFile(file, "old");
    SettingsToWrite two = kTypical;
    two.password = "\"";
    two.gameDrive = "\n";
    EXPECT_EQ(unstorableField(two)->name(), "UTDrive") << "the first in file order";
    EXPECT_EQ(failureNumber([&] { writeSettingsFile(file, two); }), failure::kInvalidValue);
    SettingsToWrite changed = kTypical;
    changed.gameFolder = std::string(200, 'x');
    const test::FileSizeLimit limit(64);
    EXPECT_EQ(failureNumber([&] { writeSettingsFile(file, changed); }), failure::kDiskFull);
    EXPECT_EQ(readFile(file), "old");
    EXPECT_EQ(test::namesIn(dir.path()).size(), 1u);
}

TEST(SettingsSave, MakesWhatTheUzFolderLacksAndStoresAMatchingPasswordOnly) {
    TempDir dir;
    const fs::path file = settingsFilePath(dir / "program");
    const std::string game = (dir / "UT").string();
    SavePlan plan = planSave({game, "c: [/]", "host", "ann", "Secret", "secret"});
    EXPECT_TRUE(plan.passwordsDiffer) << "letter case counts";
    EXPECT_EQ(plan.values.password, "");
    EXPECT_EQ(plan.values.uzFolder, game + "/uz");
    EXPECT_EQ(failureNumber([&] { carryOut(plan, file); }), failure::kPathNotFound)
        << "no game folder to make the uz folder in";
    fs::create_directories(dir / "UT");
    plan.values.server = "a\"b";
    EXPECT_EQ(failureNumber([&] { carryOut(plan, file); }), failure::kInvalidValue);
    EXPECT_FALSE(fs::exists(dir / "UT" / "uz")) << "nothing made for a value it cannot store";
    EXPECT_FALSE(fs::exists(file));

    plan.values.server = "host";
    carryOut(plan, file);
    EXPECT_EQ(readFile(dir / "UT" / "uz" / "a.txt"), "Do NOT delete this file.\r\n");
    EXPECT_EQ(readSettingsFile(file)->gameFolder, game);

    test::writeFile(dir / "UT" / "uz" / "a.txt", "changed by hand");
    plan = planSave({game, "c: [/]", "host", "ann", "s", "s"});
    carryOut(plan, file);
    EXPECT_EQ(readFile(dir / "UT" / "uz" / "a.txt"), "changed by hand")
        << "an existing marker stays";
    EXPECT_EQ(readSettingsFile(file)->password, "s");

    fs::remove(dir / "UT" / "uz" / "a.txt");
    carryOut(plan, file);
    EXPECT_TRUE(fs::exists(dir / "UT" / "uz" / "a.txt")) << "a uz folder without its marker";
}

}  // namespace
}  // namespace varnox::settings
