#include "settings/settings_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/permission_checks.h"
#include "tests/support/temp_dir.h"

namespace varnox::settings {

void PrintTo(const StoredSettings& s, std::ostream* os) {
    *os << testing::PrintToString(
        std::vector<std::string>{s.utPath, s.utDrive, s.serverIp, s.username, s.password});
}

void PrintTo(const SettingsRecord& r, std::ostream* os) {
    *os << testing::PrintToString(std::vector<std::string>{
        r.gstUsername, r.gstPassword, r.gstServerIp, r.gstUTDrive, r.gstUTPath, r.gstUZPath});
}

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Names = std::vector<std::string>;

Names namesIn(const fs::path& folder) {
    Names names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

unsigned permissionsOf(const fs::path& file) {
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
    return info.st_mode & 07777;
}

// Runs `action`, which must throw a Failure with `number` whose text names `file`.
void expectFailure(int number, const std::string& file, const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "no Failure for " << file;
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), number) << failure.description();
        EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();
    }
}

// Runs `write`, which must fail as expectFailure says, leaving the old file byte-identical
// and no other file in its folder.
void expectRefusedWrite(const std::string& file, int number, const std::function<void()>& write) {
    const std::string before = readFile(file);
    expectFailure(number, file, write);
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(namesIn(fs::path(file).parent_path()), Names{"config.txt"});
}

const SettingsToWrite kTypical{
    "/home/ann/UnrealTournament",   "c: [/]", "redirect.example.org", "ann", "s3cret",
    "/home/ann/UnrealTournament/uz"};

// The game tool's log is read with the same reader; the compress command looks for the
// items that begin with "Log: Compr".
TEST(ItemReader, ReadsToolLogText) {
    const std::string log =
        "Log: Log file open, 12/06/26 19:09:59\r\n"
        "\r\n"
        "Log: Compressed /c/My Map, final.unr -> /c/My Map, final.unr.uz (7%)\r\n"
        "Log: \"quoted, with comma\" and more\r\n"
        "\"Log: Compressed quoted, kept whole\" tail\n"
        "Exit: Log file closed\r\n";
    const Names expected{
        "Log: Log file open",        "12/06/26 19:09:59",
        "Log: Compressed /c/My Map", "final.unr -> /c/My Map",
        "final.unr.uz (7%)",         "Log: \"quoted",
        "with comma\" and more",     "Log: Compressed quoted, kept whole",
        "Exit: Log file closed",
    };
    EXPECT_EQ(readItems(log), expected);
}

// --- Writing and reading back --------------------------------------------------------

TEST(SettingsWrite, WritesSixQuotedRecordsEndingInCrLf) {
    const SettingsToWrite values{"/games/ut", "c: [/]", "10.0.0.7", "admin", "", "/games/ut/uz"};
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeSettingsFile(file, values);
    EXPECT_EQ(readFile(file),
              "\"UTpath:\",\"/games/ut\"\r\n"
              "\"UTDrive:\",\"c: [/]\"\r\n"
              "\"ServerIP:\",\"10.0.0.7\"\r\n"
              "\"Username:\",\"admin\"\r\n"
              "\"Password:\",\"\"\r\n"
              "\"UZPath:\",\"/games/ut/uz\"\r\n");
    EXPECT_EQ(namesIn(dir.path()), Names{"config.txt"});
}

TEST(SettingsWrite, ReadsBackWhatWasWritten) {
    const SettingsToWrite cases[] = {
        kTypical,
        {},
        {"/media/usb/UT, GOTY edition", "d: [/media/usb]", " host.example , ", "  user name  ",
         "pass, word\t", "/media/usb/UT, GOTY edition/uz"},
        {"UZPath:", "UTpath:", ",", "Password:", "Username:", "UTDrive:"},
        {"/home/jos\xE9/UT", "c: [/]", "serveur.example", "Jos\xE9", "\xA7\xFF", "/x"},
        {"/ut", "c: [/]", "h", "u", "pa\0ss"s, "/ut/uz"},
    };
    for (const SettingsToWrite& v : cases) {
        SCOPED_TRACE(v.utPath);
        TempDir dir;
        writeSettingsFile(settingsFilePath(dir.str()), v);
        EXPECT_EQ(readSettingsFile(settingsFilePath(dir.str())),
                  (StoredSettings{v.utPath, v.utDrive, v.serverIp, v.username, v.password}));
        SettingsRecord record;
        ASSERT_TRUE(startupRead(dir.str(), record));
        EXPECT_EQ(record, (SettingsRecord{v.username, v.password, v.serverIp, v.utDrive, v.utPath,
                                          v.utPath + "/uz/"}));
    }
}

TEST(SettingsWrite, RefusesAValueThatCannotBeStoredAndWritesNothing) {
    std::string SettingsToWrite::*const members[] = {
        &SettingsToWrite::utPath,   &SettingsToWrite::utDrive,  &SettingsToWrite::serverIp,
        &SettingsToWrite::username, &SettingsToWrite::password, &SettingsToWrite::uzPath};
    const char* const names[] = {"UTpath", "UTDrive", "ServerIP", "Username", "Password", "UZPath"};
    for (int i = 0; i < 6; ++i) {
        for (const char* bad : {"a\"b", "a\rb", "line\n"}) {
            SettingsToWrite values = kTypical;
            values.*members[i] = bad;
            EXPECT_EQ(unstorableField(values), names[i]) << testing::PrintToString(bad);
        }
    }
    SettingsToWrite two = kTypical;
    two.password = "\"";
    two.utDrive = "\n";
    EXPECT_EQ(unstorableField(two), "UTDrive") << "the first in file order";
    EXPECT_EQ(unstorableField({"a, b", " ", "\t", "'", "\\", "x\0y"s}), std::nullopt);

    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeFile(file, "old content");
    expectRefusedWrite(file, failure::kInvalidValue, [&] { writeSettingsFile(file, two); });
    SettingsToWrite quoted = kTypical;
    quoted.password = "say \"hi\"";
    expectFailure(failure::kInvalidValue, "Password", [&] { writeSettingsFile(file, quoted); });
}

// --- Hand-made files -----------------------------------------------------------------

TEST(SettingsRead, HandMadeFiles) {
    // Expected values in order: utPath, utDrive, serverIp, username, password.
    const struct {
        const char* name;
        std::string content;
        StoredSettings expected;
    } cases[] = {
        {"empty", "", {}},
        {"other order",
         "\"Password:\",\"pw\"\r\n\"UZPath:\",\"/g/uz\"\r\n\"Username:\",\"u\"\r\n"
         "\"ServerIP:\",\"h\"\r\n\"UTDrive:\",\"c: [/]\"\r\n\"UTpath:\",\"/g\"\r\n",
         {"/g", "c: [/]", "h", "u", "pw"}},
        {"key twice, last wins",
         "\"UTpath:\",\"/first\"\r\n\"Username:\",\"u\"\r\n\"UTpath:\",\"/second\"\r\n",
         {"/second", "", "", "u", ""}},
        {"other letter case passed over",
         "\"utpath:\",\"/a\"\r\n\"UTPath:\",\"/b\"\r\n\"serverip:\",\"h\"\r\n\"Username:\",\"u\"",
         {"", "", "", "u", ""}},
        {"missing keys stay empty", "\"ServerIP:\",\"h\"\r\n", {"", "", "h", "", ""}},
        {"LF, LF CR and CR line ends, none at the end",
         "\"UTpath:\",\"/g\"\n\r\"Username:\",\"u\"\r\"Password:\",\"pw\"",
         {"/g", "", "", "u", "pw"}},
        {"plain items lose trailing blanks",
         "  UTpath: ,  /games/ut \t\r\nServerIP:\t,10.0.0.1  \r\n",
         {"/games/ut", "", "10.0.0.1", "", ""}},
        {"blank lines between records",
         "\r\n\"UTpath:\",\"/g\"\r\n\r\n   \r\n\"Username:\",\"u\"\r\n\r\n",
         {"/g", "", "", "u", ""}},
        {"text after a closing quote ignored",
         "\"UTpath:\" junk,\"/g\"more\"\r\n\"Username:\"\t,\"u\" \r\n",
         {"/g", "", "", "u", ""}},
        {"a lone key shifts the pairing",
         "\"UTDrive:\"\r\n\"UTpath:\",\"/g\"\r\n\"Username:\",\"u\"\r\n",
         {"", "UTpath:", "", "", ""}},
        {"unpaired last key gets empty",
         "\"Password:\",\"pw\"\r\n\"UTpath:\",\"/g\"\r\n\"Password:\"\r\n",
         {"/g", "", "", "", ""}},
        {"unterminated quote runs to the end", "\"UTpath:\",\"/g\r\n", {"/g\r\n", "", "", "", ""}},
        {"byte order mark skipped", "\xEF\xBB\xBF\"UTpath:\",\"/g\"\r\n", {"/g", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(settingsFilePath(dir.str()), c.content);
        EXPECT_EQ(readSettingsFile(settingsFilePath(dir.str())), c.expected) << c.name;
    }
}

TEST(SettingsRead, NoOrdinaryFileCountsAsNoFile) {
    const std::function<void(const fs::path&)> arrangements[] = {
        [](const fs::path&) {},
        [](const fs::path& file) { fs::create_directories(file / "inside"); },
        [](const fs::path& file) { fs::create_symlink(file.parent_path() / "gone", file); },
        [](const fs::path& file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
    };
    for (const auto& arrange : arrangements) {
        SCOPED_TRACE(&arrange - arrangements);
        TempDir dir;
        const std::string file = settingsFilePath(dir.str());
        arrange(file);
        EXPECT_EQ(readSettingsFile(file), std::nullopt);
        SettingsRecord record{"u", "p", "s", "d", "t", "z"};
        EXPECT_FALSE(startupRead(dir.str(), record));
        EXPECT_EQ(record, (SettingsRecord{"u", "p", "s", "d", "t", "z"}));
    }
}

TEST(SettingsRead, AnUnreadableFileOrFolderIsAFailureNamingTheFile) {
    TempDir dir;
    writeFile(dir / "a" / "config.txt", "\"UTpath:\",\"/g\"\r\n");
    writeFile(dir / "b" / "config.txt", "\"UTpath:\",\"/g\"\r\n");
    fs::permissions(dir / "a" / "config.txt", fs::perms::none);
    fs::permissions(dir / "b", fs::perms::owner_read | fs::perms::owner_write);
    test::PermissionChecksEnforced enforced;
    if (!enforced.effective(dir.path())) {
        GTEST_SKIP() << "file permissions do not bind this process";
    }
    for (const char* folder : {"a", "b"}) {
        const std::string file = settingsFilePath((dir / folder).string());
        expectFailure(failure::kPermissionDenied, file, [&] { readSettingsFile(file); });
        SettingsRecord record{"u", "p", "s", "d", "t", "z"};
        EXPECT_THROW(startupRead((dir / folder).string(), record), Failure);
        EXPECT_EQ(record, (SettingsRecord{"u", "p", "s", "d", "t", "z"}));
    }
}

// --- Start-up read -------------------------------------------------------------------

TEST(StartupRead, FillsTheRecordAndLeavesMissingKeysAlone) {
    // Expected records in member order: gstUsername, gstPassword, gstServerIp, gstUTDrive,
    // gstUTPath, gstUZPath. The record starts with the password "kept".
    const struct {
        std::string content;
        SettingsRecord expected;
    } cases[] = {
        {"", {"", "kept", "", "", "", "/uz/"}},
        {formatSettings({"/", "c: [/]", "", "", "", "//uz"}), {"", "", "", "c: [/]", "/", "//uz/"}},
        {"\"UTDrive:\",\"c: [/]\"\r\n\"ServerIP:\",\"h\"\r\n\"UZPath:\",\"/g/uz\"\r\n",
         {"", "kept", "h", "c: [/]", "", "/uz/"}},
        {"\"UZPath:\",\"/somewhere/else\"\r\n\"UTpath:\",\"/g/\"\r\n",
         {"", "kept", "", "", "/g/", "/g//uz/"}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFile(settingsFilePath(dir.str()), c.content);
        SettingsRecord record;
        record.gstPassword = "kept";
        EXPECT_TRUE(startupRead(dir.str(), record));
        EXPECT_EQ(record, c.expected) << c.content;
    }
}

// --- Writing: permissions and failures -----------------------------------------------

TEST(SettingsWrite, TheFileIsOwnerOnlyWhenCreatedAndWhenReplaced) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    const mode_t oldMask = ::umask(0);
    writeSettingsFile(file, kTypical);
    ::umask(oldMask);
    EXPECT_EQ(permissionsOf(file), 0600u);

    for (const fs::perms wider : {fs::perms::all, fs::perms::owner_read}) {
        writeFile(file, "old content");
        fs::permissions(file, wider);
        writeSettingsFile(file, kTypical);
        EXPECT_EQ(permissionsOf(file), 0600u) << static_cast<unsigned>(wider);
        EXPECT_EQ(readFile(file), formatSettings(kTypical));
        EXPECT_EQ(namesIn(dir.path()), Names{"config.txt"});
    }
}

TEST(SettingsWriteFailure, ReadOnlyFolder) {
    TempDir dir;
    const std::string file = settingsFilePath((dir / "program").string());
    writeFile(file, formatSettings(kTypical));
    fs::permissions(dir / "program", fs::perms::owner_read | fs::perms::owner_exec);
    test::PermissionChecksEnforced enforced;
    if (!enforced.effective(dir.path())) {
        GTEST_SKIP() << "file permissions do not bind this process";
    }
    SettingsToWrite changed = kTypical;
    changed.serverIp = "new.example.org";
    expectRefusedWrite(file, failure::kPermissionDenied, [&] { writeSettingsFile(file, changed); });
}

// A file-size limit makes the write fail half way, as a full disk would.
TEST(SettingsWriteFailure, DiskFullHalfWay) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeFile(file, "\"UTpath:\",\"/old\"\r\n");
    SettingsToWrite changed = kTypical;
    changed.utPath = std::string(200, 'x');
    struct FileSizeLimit {
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
    expectRefusedWrite(file, failure::kDiskFull, [&] {
        FileSizeLimit limit;
        writeSettingsFile(file, changed);
    });
}

TEST(SettingsWriteFailure, MissingFolderOrAFolderInTheFilesPlace) {
    TempDir dir;
    const std::string missing = settingsFilePath((dir / "missing").string());
    expectFailure(failure::kPathNotFound, missing, [&] { writeSettingsFile(missing, kTypical); });
    EXPECT_TRUE(namesIn(dir.path()).empty());

    const std::string folder = settingsFilePath(dir.str());
    writeFile(fs::path(folder) / "inside.txt", "kept");
    expectFailure(failure::kPathFileAccessError, folder,
                  [&] { writeSettingsFile(folder, kTypical); });
    EXPECT_EQ(namesIn(dir.path()), Names{"config.txt"});
    EXPECT_EQ(readFile(fs::path(folder) / "inside.txt"), "kept");
}

}  // namespace
}  // namespace varnox::settings
