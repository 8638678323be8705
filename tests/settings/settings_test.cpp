// The settings file, the game-folder model and a save, over real temporary folders.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <functional>

#include "settings/game_folder.h"
#include "settings/settings_file.h"
#include "settings/settings_save.h"
#include "tests/support/failures.h"
#include "tests/support/files.h"
#include "tests/support/permission_checks.h"
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
using test::writeFile;

const SettingsToWrite kTypical{
    "/home/ann/UnrealTournament",   "c: [/]", "redirect.example.org", "ann", "s3cret",
    "/home/ann/UnrealTournament/uz"};

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

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
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"config.txt"});
}

TEST(SettingsFile, ReadsHandMadeFilesItemByItem) {
    // Expected: game folder, drive, server, user, password, uz folder.
    const struct {
        const char* name;
        std::string content;
        Settings expected;
    } cases[] = {
        {"empty", "", {"", "", "", "", "", "/uz/"}},
        {"other order, UZPath: ignored",
         "\"Password:\",\"pw\"\r\n\"UZPath:\",\"/elsewhere\"\r\n\"Username:\",\"u\"\r\n"
         "\"ServerIP:\",\"h\"\r\n\"UTDrive:\",\"c: [/]\"\r\n\"UTpath:\",\"/g/\"\r\n",
         {"/g/", "c: [/]", "h", "u", "pw", "/g//uz/"}},
        {"key twice, last wins; other letter case passed over",
         "\"UTpath:\",\"/1\"\r\n\"utpath:\",\"/a\"\r\n\"UTpath:\",\"/2\"\r\n",
         {"/2", "", "", "", "", "/2/uz/"}},
        {"LF, LF CR and CR line ends, none at the end",
         "\"UTpath:\",\"/g\"\n\r\"Username:\",\"u\"\r\"Password:\",\"pw\"",
         {"/g", "", "", "u", "pw", "/g/uz/"}},
        {"plain items lose trailing blanks; blank lines skipped",
         "  UTpath: ,  /ut \t\r\n\r\n   \r\nServerIP:\t,10.0.0.1  \r\n",
         {"/ut", "", "10.0.0.1", "", "", "/ut/uz/"}},
        {"text after a closing quote ignored",
         "\"UTpath:\" junk,\"/g\"more\"\r\n",
         {"/g", "", "", "", "", "/g/uz/"}},
        {"a lone key shifts the pairing",
         "\"UTDrive:\"\r\n\"UTpath:\",\"/g\"\r\n",
         {"", "UTpath:", "", "", "", "/uz/"}},
        {"unpaired last key gets empty",
         "\"Password:\",\"pw\"\r\n\"Password:\"\r\n",
         {"", "", "", "", "", "/uz/"}},
        {"unterminated quote runs to the end",
         "\"UTpath:\",\"/g\r\n",
         {"/g\r\n", "", "", "", "", "/g\r\n/uz/"}},
        {"byte order mark skipped",
         "\xEF\xBB\xBF\"UTpath:\",\"/g\"",
         {"/g", "", "", "", "", "/g/uz/"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseSettings(c.content), c.expected) << c.name;
    }
    TempDir dir;
    ASSERT_EQ(::mkfifo(settingsFilePath(dir.path()).c_str(), 0600), 0);
    EXPECT_EQ(readSettingsFile(settingsFilePath(dir.path())), std::nullopt) << "a pipe is no file";
}

TEST(SettingsFile, AValueItCannotStoreIsRefusedAndNothingIsWritten) {
    std::string SettingsToWrite::*const members[] = {
        &SettingsToWrite::gameFolder, &SettingsToWrite::gameDrive, &SettingsToWrite::server,
        &SettingsToWrite::user,       &SettingsToWrite::password,  &SettingsToWrite::uzFolder};
    const char* const names[] = {"UTpath", "UTDrive", "ServerIP", "Username", "Password", "UZPath"};
    for (int i = 0; i < 6; ++i) {
        for (const char* bad : {"a\"b", "a\rb", "line\n"}) {
            SettingsToWrite values = kTypical;
            values.*members[i] = bad;
            EXPECT_EQ(unstorableField(values), names[i]);
        }
    }
    TempDir dir;
    const fs::path file = settingsFilePath(dir.path());
    writeFile(file, "old");
    SettingsToWrite two = kTypical;
    two.password = "\"";
    two.gameDrive = "\n";
    EXPECT_EQ(unstorableField(two), "UTDrive") << "the first in file order";
    EXPECT_EQ(failureNumber([&] { writeSettingsFile(file, two); }), failure::kInvalidValue);
    EXPECT_EQ(readFile(file), "old");
}

// A write that fails leaves the old file as it was and nothing else behind.
TEST(SettingsFile, AFailedWriteKeepsTheOldFile) {
    struct FileSizeLimit {  // a file-size limit fails the write half way, as a full disk would
        struct sigaction ignore {
        }, previousAction{};
        rlimit previous{}, small{};
        FileSizeLimit() {
            ignore.sa_handler = SIG_IGN;
            ::sigaction(SIGXFSZ, &ignore, &previousAction);
            ::getrlimit(RLIMIT_FSIZE, &previous);
            small = previous;
            small.rlim_cur = 64;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        ~FileSizeLimit() {
            ::setrlimit(RLIMIT_FSIZE, &previous);
            ::sigaction(SIGXFSZ, &previousAction, nullptr);
        }
    };
    TempDir dir;
    const fs::path file = settingsFilePath(dir / "program");
    writeFile(file, "old");
    SettingsToWrite changed = kTypical;
    changed.gameFolder = std::string(200, 'x');
    EXPECT_EQ(failureNumber([&] {
                  FileSizeLimit limit;
                  writeSettingsFile(file, changed);
              }),
              failure::kDiskFull);
    fs::permissions(dir / "program", fs::perms::owner_read | fs::perms::owner_exec);
    test::PermissionChecksEnforced enforced;
    if (enforced.effective(dir.path())) {
        EXPECT_EQ(failureNumber([&] { writeSettingsFile(file, changed); }),
                  failure::kPermissionDenied);
    }
    EXPECT_EQ(readFile(file), "old");
    EXPECT_EQ(namesIn(dir / "program"), std::vector<std::string>{"config.txt"});
}

TEST(GameFolder, FindsTheToolThatCanRunAndRoutesPackagesByTheirExactEnding) {
    TempDir dir;
    const GameFolder game(dir.str());
    const fs::path system = dir / "System";
    auto tool = [&](const char* name, mode_t mode) {
        writeFile(system / name, "#!/bin/sh\n");
        ::chmod((system / name).c_str(), mode);
    };
    EXPECT_EQ(game.tool(), system / "ucc.exe") << "nothing there: the name asked for";
    tool("UCC.exe", 0644);
    EXPECT_TRUE(game.holdsTool());
    EXPECT_EQ(game.tool(), system / "UCC.exe") << "one that cannot run, so starting it says why";
    tool("Ucc.Exe", 0755);
    EXPECT_EQ(game.tool(), system / "Ucc.Exe") << "any letter case, if it can run";
    tool("ucc.exe", 0644);
    EXPECT_EQ(game.tool(), system / "Ucc.Exe") << "a package decompressed as ucc.exe cannot run";
    tool("ucc.exe", 0755);
    EXPECT_EQ(game.tool(), system / "ucc.exe") << "the exact name first";
    EXPECT_EQ(game.toolLog(), system / "UCC.log");

    const std::string uz = dir.str() + "/uz/";
    EXPECT_EQ(game.uzFolderText(), uz);
    const std::pair<const char*, std::string> routes[] = {
        {"DM-A.unr", dir.str() + "/Maps/"},
        {"A.uax", dir.str() + "/Sounds/"},
        {"A.umx", dir.str() + "/Music/"},
        {"A.utx", dir.str() + "/Textures/"},
        {"MAP.UNR", uz},
        {"Readme.txt", uz},
        {"ut", uz},
    };
    for (const auto& [package, folder] : routes) {
        EXPECT_EQ(game.typeFolderFor(package, uz), fs::path(folder)) << package;
    }
    const std::pair<const char*, std::optional<std::string>> names[] = {
        {"DM-A.unr.uz", "DM-A.unr"}, {"MAP.UNR.UZ", "MAP.UNR"}, {"fuzz.buz", "fuzz."},
        {"a.unr.Uz", std::nullopt},  {"uz", std::nullopt},      {"x.uz", "x"},
    };
    for (const auto& [name, package] : names) {
        EXPECT_EQ(packageNameOf(name), package) << name;
    }
}

TEST(GameFolder, TheSearchLooksOnDrivesCDAndEAndTheLastHitWins) {
    TempDir dir;
    const platform::DriveTable drives(
        {{'c', dir / "c"}, {'d', dir / "d"}, {'e', dir / "e"}, {'f', dir / "f"}});
    auto games = [&] {
        std::string found;
        for (const GameFound& game : searchForGame(drives)) {
            found += std::string(1, game.letter) + "=" +
                     fs::path(game.folder).lexically_relative(dir.path()).string() + " ";
        }
        return found;
    };
    EXPECT_EQ(games(), "") << "drive e: is not ready";
    writeFile(dir / "c" / "UnrealTournament" / "System" / "UCC.exe", "tool");
    writeFile(dir / "d" / "UnrealTournament" / "System" / "readme.txt", "no tool");
    writeFile(dir / "d" / "unrealtournament" / "System" / "ucc.exe", "folder in other case");
    writeFile(dir / "e" / "UnrealTournament" / "System" / "ucc.exe", "tool");
    writeFile(dir / "f" / "UnrealTournament" / "System" / "ucc.exe", "not searched");
    EXPECT_EQ(games(), "c=c/UnrealTournament e=e/UnrealTournament ");
}

TEST(SettingsSave, MakesWhatTheUzFolderLacksAndStoresAMatchingPasswordOnly) {
    TempDir dir;
    const fs::path file = settingsFilePath(dir / "program");
    fs::create_directories(dir / "program");
    const std::string game = (dir / "UT").string();
    SavePlan plan = planSave({game, "c: [/]", "host", "ann", "Secret", "secret"});
    EXPECT_TRUE(plan.passwordsDiffer) << "letter case counts";
    EXPECT_EQ(plan.values.password, "");
    EXPECT_EQ(plan.values.uzFolder, game + "/uz");
    EXPECT_EQ(failureNumber([&] { carryOut(plan, file); }), failure::kPathNotFound)
        << "no game folder to make the uz folder in";
    EXPECT_FALSE(fs::exists(file));

    fs::create_directories(dir / "UT");
    carryOut(plan, file);
    EXPECT_EQ(readFile(dir / "UT" / "uz" / "a.txt"), "Do NOT delete this file.\r\n");
    EXPECT_EQ(readSettingsFile(file)->gameFolder, game);

    writeFile(dir / "UT" / "uz" / "a.txt", "changed by hand");
    plan = planSave({game, "c: [/]", "host", "ann", "s", "s"});
    carryOut(plan, file);
    EXPECT_EQ(readFile(dir / "UT" / "uz" / "a.txt"), "changed by hand")
        << "an existing marker stays";
    EXPECT_EQ(readSettingsFile(file)->password, "s");

    fs::remove(dir / "UT" / "uz" / "a.txt");
    carryOut(plan, file);
    EXPECT_TRUE(fs::exists(dir / "UT" / "uz" / "a.txt")) << "a uz folder without its marker";

    plan.values.server = "a\"b";
    EXPECT_EQ(failureNumber([&] { carryOut(plan, file); }), failure::kInvalidValue);
    EXPECT_EQ(readSettingsFile(file)->server, "host");
}

}  // namespace
}  // namespace varnox::settings
