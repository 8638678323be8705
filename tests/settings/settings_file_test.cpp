#include "settings/settings_file.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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
    *os << "{utPath=" << testing::PrintToString(s.utPath)
        << " utDrive=" << testing::PrintToString(s.utDrive)
        << " serverIp=" << testing::PrintToString(s.serverIp)
        << " username=" << testing::PrintToString(s.username)
        << " password=" << testing::PrintToString(s.password) << "}";
}

void PrintTo(const SettingsRecord& r, std::ostream* os) {
    *os << "{gstUsername=" << testing::PrintToString(r.gstUsername)
        << " gstPassword=" << testing::PrintToString(r.gstPassword)
        << " gstServerIp=" << testing::PrintToString(r.gstServerIp)
        << " gstUTDrive=" << testing::PrintToString(r.gstUTDrive)
        << " gstUTPath=" << testing::PrintToString(r.gstUTPath)
        << " gstUZPath=" << testing::PrintToString(r.gstUZPath) << "}";
}

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

unsigned permissionsOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        throw std::runtime_error("cannot stat " + file.string());
    }
    return info.st_mode & 07777;
}

// Runs `action`, which must throw a Failure, and returns that Failure.
Failure failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no Failure was thrown";
    return Failure(0, "");
}

StoredSettings storedPart(const SettingsToWrite& v) {
    return {v.utPath, v.utDrive, v.serverIp, v.username, v.password};
}

const SettingsToWrite kTypical{
    "/home/ann/UnrealTournament",   "c: [/]", "redirect.example.org", "ann", "s3cret",
    "/home/ann/UnrealTournament/uz"};

// --- The file as written -------------------------------------------------------------

TEST(SettingsWrite, WritesSixQuotedRecordsEndingInCrLf) {
    const SettingsToWrite values{"/games/ut", "c: [/]", "10.0.0.7", "admin", "", "/games/ut/uz"};
    const std::string expected =
        "\"UTpath:\",\"/games/ut\"\r\n"
        "\"UTDrive:\",\"c: [/]\"\r\n"
        "\"ServerIP:\",\"10.0.0.7\"\r\n"
        "\"Username:\",\"admin\"\r\n"
        "\"Password:\",\"\"\r\n"
        "\"UZPath:\",\"/games/ut/uz\"\r\n";
    EXPECT_EQ(formatSettings(values), expected);

    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeSettingsFile(file, values);
    EXPECT_EQ(readFile(file), expected);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"config.txt"});
}

struct RoundTripCase {
    const char* name;
    SettingsToWrite values;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(SettingsRoundTrip, ReadsBackWhatWasWritten) {
    const SettingsToWrite& values = GetParam().values;
    TempDir dir;
    writeSettingsFile(settingsFilePath(dir.str()), values);

    EXPECT_EQ(readSettingsFile(settingsFilePath(dir.str())), storedPart(values));

    SettingsRecord record;
    ASSERT_TRUE(startupRead(dir.str(), record));
    const SettingsRecord expected{values.username, values.password, values.serverIp,
                                  values.utDrive,  values.utPath,   values.utPath + "/uz/"};
    EXPECT_EQ(record, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsRoundTrip,
    testing::Values(
        RoundTripCase{"Typical", kTypical}, RoundTripCase{"AllEmpty", {}},
        RoundTripCase{"CommasAndBlanks",
                      {"/media/usb/UT, GOTY edition", "d: [/media/usb]", " host.example , ",
                       "  user name  ", "pass, word\t", "/media/usb/UT, GOTY edition/uz"}},
        RoundTripCase{"ValuesThatLookLikeKeys",
                      {"UZPath:", "UTpath:", ",", "Password:", "Username:", "UTDrive:"}},
        RoundTripCase{"DriveRoot", {"/", "c: [/]", "", "", "", "//uz"}},
        RoundTripCase{"EightBitBytes",
                      {"/home/jos\xE9/UT", "c: [/]", "serveur.example", "Jos\xE9", "\xA7\xFF",
                       "/home/jos\xE9/UT/uz"}},
        RoundTripCase{"NulInValue", {"/ut", "c: [/]", "h", "u", "pa\0ss"s, "/ut/uz"}}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

// --- Values that cannot be stored ----------------------------------------------------

TEST(SettingsWrite, NamesTheFirstValueThatCannotBeStored) {
    struct Field {
        std::string SettingsToWrite::*member;
        const char* name;
    };
    const Field fields[] = {
        {&SettingsToWrite::utPath, "UTpath"},     {&SettingsToWrite::utDrive, "UTDrive"},
        {&SettingsToWrite::serverIp, "ServerIP"}, {&SettingsToWrite::username, "Username"},
        {&SettingsToWrite::password, "Password"}, {&SettingsToWrite::uzPath, "UZPath"},
    };
    for (const Field& field : fields) {
        for (const char* bad : {"a\"b", "\"", "a\rb", "a\nb", "line\r\n"}) {
            SettingsToWrite values = kTypical;
            values.*field.member = bad;
            EXPECT_EQ(unstorableField(values), field.name) << testing::PrintToString(bad);
        }
    }

    SettingsToWrite two = kTypical;
    two.password = "\"";
    two.utDrive = "\n";
    EXPECT_EQ(unstorableField(two), "UTDrive");

    EXPECT_EQ(unstorableField(kTypical), std::nullopt);
    EXPECT_EQ(unstorableField({"a, b", " ", "\t", "'", "\\", "x\0y"s}), std::nullopt);
}

TEST(SettingsWrite, RefusesAValueThatCannotBeStoredAndKeepsTheOldFile) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeFile(file, "old content");
    SettingsToWrite values = kTypical;
    values.password = "say \"hi\"";

    const Failure failure = failureOf([&] { writeSettingsFile(file, values); });
    EXPECT_EQ(failure.number(), failure::kInvalidValue);
    EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();
    EXPECT_NE(failure.description().find("Password"), std::string::npos);
    EXPECT_EQ(readFile(file), "old content");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"config.txt"});
}

// --- Hand-made files -----------------------------------------------------------------

struct ReadCase {
    const char* name;
    std::string content;
    StoredSettings expected;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsRead : public testing::TestWithParam<ReadCase> {};

TEST_P(SettingsRead, ReadsTheFiveValues) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeFile(file, GetParam().content);
    EXPECT_EQ(readSettingsFile(file), GetParam().expected);
}

// Expected values in StoredSettings order: utPath, utDrive, serverIp, username, password.
INSTANTIATE_TEST_SUITE_P(
    Files, SettingsRead,
    testing::Values(
        ReadCase{"Empty", "", {}}, ReadCase{"OnlyBlankLines", "\r\n\r\n", {}},
        ReadCase{"OtherOrder",
                 "\"Password:\",\"pw\"\r\n\"UZPath:\",\"/g/uz\"\r\n\"Username:\",\"u\"\r\n"
                 "\"ServerIP:\",\"h\"\r\n\"UTDrive:\",\"c: [/]\"\r\n\"UTpath:\",\"/g\"\r\n",
                 {"/g", "c: [/]", "h", "u", "pw"}},
        ReadCase{"KeyTwiceLastWins",
                 "\"UTpath:\",\"/first\"\r\n\"Username:\",\"u\"\r\n\"UTpath:\",\"/second\"\r\n",
                 {"/second", "", "", "u", ""}},
        ReadCase{"OtherLetterCasePassedOver",
                 "\"utpath:\",\"/a\"\r\n\"UTPath:\",\"/b\"\r\n\"serverip:\",\"h\"\r\n"
                 "\"UTdrive:\",\"d:\"\r\n\"Username:\",\"u\"\r\n",
                 {"", "", "", "u", ""}},
        ReadCase{"MissingKeysStayEmpty", "\"ServerIP:\",\"h\"\r\n", {"", "", "h", "", ""}},
        ReadCase{"UZPathPassedOverWhateverItHolds",
                 "\"UTpath:\",\"/g\"\r\n\"UZPath:\",\"UTpath:\"\r\n\"UZPath:\",\"/x, y\"\r\n"
                 "\"UZPath:\",\"\"\r\n",
                 {"/g", "", "", "", ""}},
        ReadCase{"KeysWithoutColonPassedOver", "\"UTpath\",\"/g\"\r\n", {}},
        ReadCase{"QuotedKeyWithBlankPassedOver", "\" UTpath:\",\"/g\"\r\n", {}},
        ReadCase{
            "LineFeedsOnly", "\"UTpath:\",\"/g\"\n\"Username:\",\"u\"\n", {"/g", "", "", "u", ""}},
        ReadCase{"NoFinalLineEnd",
                 "\"UTpath:\",\"/g\"\r\n\"Password:\",\"pw\"",
                 {"/g", "", "", "", "pw"}},
        ReadCase{"PlainItemsTrimmed",
                 "  UTpath: ,  /games/ut \t\r\nServerIP:\t,10.0.0.1  \r\n",
                 {"/games/ut", "", "10.0.0.1", "", ""}},
        ReadCase{"BlankLinesBetweenRecords",
                 "\r\n\"UTpath:\",\"/g\"\r\n\r\n   \r\n\"Username:\",\"u\"\r\n\r\n",
                 {"/g", "", "", "u", ""}},
        ReadCase{"TextAfterClosingQuoteIgnored",
                 "\"UTpath:\" junk,\"/g\"more\"\r\n\"Username:\"\t,\"u\" \r\n",
                 {"/g", "", "", "u", ""}},
        ReadCase{"KeyAndValueOnSeparateLines", "\"UTpath:\"\r\n\"/g\"\r\n", {"/g", "", "", "", ""}},
        ReadCase{"LoneKeyShiftsThePairing",
                 "\"UTDrive:\"\r\n\"UTpath:\",\"/g\"\r\n\"Username:\",\"u\"\r\n",
                 {"", "UTpath:", "", "", ""}},
        ReadCase{"LastKeyWithoutValueGetsEmpty",
                 "\"Password:\",\"pw\"\r\n\"UTpath:\",\"/g\"\r\n\"Password:\"\r\n",
                 {"/g", "", "", "", ""}},
        ReadCase{"TrailingCommaGivesEmptyValue",
                 "\"Username:\",\"u\"\r\n\"Username:\",",
                 {"", "", "", "", ""}},
        ReadCase{"MissingClosingQuoteTakesTheNextQuote",
                 "\"UTpath:\",\"/g\"\r\n\"Password:\",\"abc\r\n\"Username:\",\"u\"\r\n",
                 {"/g", "", "", "", "abc\r\n"}},
        ReadCase{
            "UnterminatedQuoteRunsToTheEnd", "\"UTpath:\",\"/g\r\n", {"/g\r\n", "", "", "", ""}},
        ReadCase{"NulInKeyMatchesNothing",
                 "\"UTpath:\0\",\"/a\"\r\n\"Username:\",\"u\0v\"\r\n"s,
                 {"", "", "", "u\0v"s, ""}},
        ReadCase{
            "ByteOrderMarkSkipped", "\xEF\xBB\xBF\"UTpath:\",\"/g\"\r\n", {"/g", "", "", "", ""}}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

// --- Whether a file is there ---------------------------------------------------------

struct AbsentCase {
    const char* name;
    // Puts something that is not an ordinary file at the returned settings-file path.
    std::string (*arrange)(const fs::path& dir);
};

void PrintTo(const AbsentCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsFileAbsent : public testing::TestWithParam<AbsentCase> {};

TEST_P(SettingsFileAbsent, CountsAsNoFile) {
    TempDir dir;
    const std::string file = GetParam().arrange(dir.path());
    EXPECT_EQ(readSettingsFile(file), std::nullopt);

    SettingsRecord record{"u", "p", "s", "d", "t", "z"};
    const SettingsRecord before = record;
    EXPECT_FALSE(startupRead(fs::path(file).parent_path().string(), record));
    EXPECT_EQ(record, before);
}

INSTANTIATE_TEST_SUITE_P(
    Things, SettingsFileAbsent,
    testing::Values(AbsentCase{"Nothing",
                               [](const fs::path& dir) { return (dir / "config.txt").string(); }},
                    AbsentCase{"Folder",
                               [](const fs::path& dir) {
                                   fs::create_directories(dir / "config.txt" / "inside");
                                   return (dir / "config.txt").string();
                               }},
                    AbsentCase{"DanglingLink",
                               [](const fs::path& dir) {
                                   fs::create_symlink(dir / "gone.txt", dir / "config.txt");
                                   return (dir / "config.txt").string();
                               }},
                    AbsentCase{"LinkToFolder",
                               [](const fs::path& dir) {
                                   fs::create_directory(dir / "elsewhere");
                                   fs::create_directory_symlink(dir / "elsewhere",
                                                                dir / "config.txt");
                                   return (dir / "config.txt").string();
                               }},
                    AbsentCase{"ProgramFolderIsAFile",
                               [](const fs::path& dir) {
                                   writeFile(dir / "program", "not a folder");
                                   return (dir / "program" / "config.txt").string();
                               }},
                    AbsentCase{"Pipe",
                               [](const fs::path& dir) {
                                   const fs::path pipe = dir / "config.txt";
                                   if (::mkfifo(pipe.c_str(), 0600) != 0) {
                                       throw std::runtime_error("cannot make a pipe");
                                   }
                                   return pipe.string();
                               }}),
    [](const testing::TestParamInfo<AbsentCase>& info) { return std::string(info.param.name); });

TEST(SettingsFile, PathAddsTheSeparatorAlways) {
    EXPECT_EQ(settingsFilePath("/opt/varnox"), "/opt/varnox/config.txt");
    EXPECT_EQ(settingsFilePath("/opt/varnox/"), "/opt/varnox//config.txt");
    EXPECT_EQ(settingsFilePath("/"), "//config.txt");
}

TEST(SettingsFile, LinkToAFileIsFollowed) {
    TempDir dir;
    writeFile(dir / "real.txt", "\"UTpath:\",\"/g\"\r\n");
    fs::create_symlink(dir / "real.txt", dir / "config.txt");
    ASSERT_TRUE(readSettingsFile(settingsFilePath(dir.str())).has_value());
    EXPECT_EQ(readSettingsFile(settingsFilePath(dir.str()))->utPath, "/g");
}

TEST(SettingsFile, UnreadableFileIsAFailureNamingTheFile) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeFile(file, "\"UTpath:\",\"/g\"\r\n");
    fs::permissions(file, fs::perms::none);
    test::PermissionChecksEnforced enforced;
    if (!enforced.effective(dir.path())) {
        GTEST_SKIP() << "file permissions do not bind this process";
    }

    const Failure failure = failureOf([&] { readSettingsFile(file); });
    EXPECT_EQ(failure.number(), failure::kPermissionDenied);
    EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();

    SettingsRecord record{"u", "p", "s", "d", "t", "z"};
    const SettingsRecord before = record;
    EXPECT_THROW(startupRead(dir.str(), record), Failure);
    EXPECT_EQ(record, before);
}

TEST(SettingsFile, FolderThatCannotBeSearchedIsAFailure) {
    TempDir dir;
    const fs::path program = dir / "program";
    writeFile(program / "config.txt", "\"UTpath:\",\"/g\"\r\n");
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_write);
    test::PermissionChecksEnforced enforced;
    if (!enforced.effective(dir.path())) {
        GTEST_SKIP() << "file permissions do not bind this process";
    }

    const std::string file = settingsFilePath(program.string());
    const Failure failure = failureOf([&] { readSettingsFile(file); });
    EXPECT_EQ(failure.number(), failure::kPermissionDenied);
    EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();
}

// --- Start-up read -------------------------------------------------------------------

struct StartupCase {
    const char* name;
    std::string content;
    SettingsRecord expected;
};

void PrintTo(const StartupCase& c, std::ostream* os) {
    *os << c.name;
}

class StartupRead : public testing::TestWithParam<StartupCase> {};

TEST_P(StartupRead, FillsTheRecord) {
    TempDir dir;
    writeFile(settingsFilePath(dir.str()), GetParam().content);
    SettingsRecord record;
    EXPECT_TRUE(startupRead(dir.str(), record));
    EXPECT_EQ(record, GetParam().expected);
}

// Expected records in member order: gstUsername, gstPassword, gstServerIp, gstUTDrive,
// gstUTPath, gstUZPath.
INSTANTIATE_TEST_SUITE_P(
    Files, StartupRead,
    testing::Values(StartupCase{"EmptyFile", "", {"", "", "", "", "", "/uz/"}},
                    StartupCase{"Saved",
                                formatSettings(kTypical),
                                {"ann", "s3cret", "redirect.example.org", "c: [/]",
                                 "/home/ann/UnrealTournament", "/home/ann/UnrealTournament/uz/"}},
                    StartupCase{"NoGameFolder",
                                "\"UTDrive:\",\"c: [/]\"\r\n\"ServerIP:\",\"h\"\r\n"
                                "\"UZPath:\",\"/g/uz\"\r\n",
                                {"", "", "h", "c: [/]", "", "/uz/"}},
                    StartupCase{"DriveRootAsGameFolder",
                                formatSettings({"/", "c: [/]", "", "", "", "//uz"}),
                                {"", "", "", "c: [/]", "/", "//uz/"}},
                    StartupCase{"UZPathRecordIgnored",
                                "\"UZPath:\",\"/somewhere/else\"\r\n\"UTpath:\",\"/g/\"\r\n",
                                {"", "", "", "", "/g/", "/g//uz/"}}),
    [](const testing::TestParamInfo<StartupCase>& info) { return std::string(info.param.name); });

TEST(StartupReadKeys, MissingKeyLeavesItsMemberAsItWas) {
    TempDir dir;
    writeFile(settingsFilePath(dir.str()), "\"UTpath:\",\"/g\"\r\n");
    SettingsRecord record;
    record.gstPassword = "kept";
    ASSERT_TRUE(startupRead(dir.str(), record));
    EXPECT_EQ(record.gstPassword, "kept");
    EXPECT_EQ(record.gstUTPath, "/g");
    EXPECT_EQ(record.gstUZPath, "/g/uz/");
}

TEST(StartupReadKeys, ProgramFolderWithTrailingSlashStillFindsTheFile) {
    TempDir dir;
    writeSettingsFile(settingsFilePath(dir.str()), kTypical);
    SettingsRecord record;
    ASSERT_TRUE(startupRead(dir.str() + "/", record));
    EXPECT_EQ(record.gstUTPath, kTypical.utPath);
}

// --- Writing: permissions and failures -----------------------------------------------

// Sets the process's file-creation mask for the life of the object.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

private:
    mode_t old_;
};

TEST(SettingsWrite, NewFileIsOwnerOnly) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    {
        Umask noMask(0);
        writeSettingsFile(file, kTypical);
    }
    EXPECT_EQ(permissionsOf(file), 0600u);
}

TEST(SettingsWrite, ReplacedFileBecomesOwnerOnly) {
    for (const fs::perms wider : {fs::perms::owner_read | fs::perms::owner_write |
                                      fs::perms::group_read | fs::perms::others_read,
                                  fs::perms::all, fs::perms::owner_read}) {
        TempDir dir;
        const std::string file = settingsFilePath(dir.str());
        writeFile(file, "old content");
        fs::permissions(file, wider);
        writeSettingsFile(file, kTypical);
        EXPECT_EQ(permissionsOf(file), 0600u) << static_cast<unsigned>(wider);
        EXPECT_EQ(readFile(file), formatSettings(kTypical));
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"config.txt"});
    }
}

// Checks the outcome of a write that had to fail: a Failure with `number` naming the file,
// the old file byte-identical and no new file left in the folder.
void expectRefusedWrite(const std::string& file, int number, const std::function<void()>& write) {
    const fs::path folder = fs::path(file).parent_path();
    const std::string before = readFile(file);
    const Failure failure = failureOf(write);
    EXPECT_EQ(failure.number(), number) << failure.description();
    EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"config.txt"});
}

TEST(SettingsWriteFailure, ReadOnlyFolder) {
    TempDir dir;
    const fs::path program = dir / "program";
    const std::string file = settingsFilePath(program.string());
    writeFile(file, formatSettings(kTypical));
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);
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

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousAction {};
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previousAction), 0);
    rlimit previousLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
    rlimit small = previousLimit;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    const Failure failure = failureOf([&] { writeSettingsFile(file, changed); });

    ::setrlimit(RLIMIT_FSIZE, &previousLimit);
    ::sigaction(SIGXFSZ, &previousAction, nullptr);

    EXPECT_EQ(failure.number(), failure::kDiskFull) << failure.description();
    EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();
    EXPECT_EQ(readFile(file), "\"UTpath:\",\"/old\"\r\n");
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"config.txt"});
}

TEST(SettingsWriteFailure, MissingFolder) {
    TempDir dir;
    const std::string file = settingsFilePath((dir / "missing").string());
    const Failure failure = failureOf([&] { writeSettingsFile(file, kTypical); });
    EXPECT_EQ(failure.number(), failure::kPathNotFound);
    EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();
    EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST(SettingsWriteFailure, FolderNamedLikeTheFile) {
    TempDir dir;
    const std::string file = settingsFilePath(dir.str());
    writeFile(fs::path(file) / "inside.txt", "kept");
    const Failure failure = failureOf([&] { writeSettingsFile(file, kTypical); });
    EXPECT_EQ(failure.number(), failure::kPathFileAccessError);
    EXPECT_NE(failure.description().find(file), std::string::npos) << failure.description();
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"config.txt"});
    EXPECT_EQ(readFile(fs::path(file) / "inside.txt"), "kept");
}

}  // namespace
}  // namespace varnox::settings
