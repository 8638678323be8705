// varnox-redirect writing into a folder on this machine (file:///PATH) that a web server here
// serves: the real program over a temporary game folder, held against a sync to a real FTP
// server (pyftpdlib on 127.0.0.1).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <regex>

#include "settings/settings_file.h"
#include "tests/redirect/run_redirect.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/game_folder.h"
#include "tests/support/programs.h"
#include "tests/support/temp_dir.h"

namespace varnox::redirect {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using Args = std::vector<std::string>;

// The files of a folder (hidden ones only when asked), with their bytes.
std::map<std::string, std::string> filesIn(const fs::path& folder, bool hidden = false) {
    std::map<std::string, std::string> files;
    for (const std::string& name : test::namesIn(folder)) {
        if (hidden || !name.starts_with(".")) {
            files[name] = readFile(folder / name);
        }
    }
    return files;
}

// A game folder whose settings file names the web root, with a blank in its name, as
// file:///.../web%20root.
class FolderRedirectTest : public ::testing::Test {
protected:
    FolderRedirectTest() {
        test::makeGameFolder(game_, false);
        fs::create_directories(web_);
        writeSettings(config_, "file://" + dir_.path().string() + "/web%20root");
    }
    void writeSettings(const fs::path& file, const std::string& server) {
        settings::writeSettingsFile(file, {game_.string(), "", server, "ut", "", ""});
    }
    test::ProgramEnd run(const Args& args) { return runRedirect(config_, args, dir_.path()); }
    void expectSaid(const test::ProgramEnd& ended, const std::string& said) {
        EXPECT_NE((ended.out + ended.err).find(said), std::string::npos) << said << "\nnot in:\n"
                                                                         << ended.out << ended.err;
    }

    test::TempDir dir_;
    fs::path game_ = dir_ / "game";
    fs::path web_ = dir_ / "web root";
    fs::path config_ = dir_ / "config.txt";
};

// A sync under umask 077 (the login options are no matter here) leaves in the folder (a relative
// --remote under the URL's path) what an FTP sync leaves on the server, byte for byte and readable
// by everyone; a second one sends nothing, and an absolute --remote takes the place of the URL's
// path.
TEST_F(FolderRedirectTest, SyncsAsOverFtpWithFilesEveryoneReads) {
    writeFile(game_ / "Maps/DM-One.unr", std::string(300'000, '1'));
    writeFile(game_ / "Sounds/Two Words.uax", std::string(70'000, '2'));
    writeFile(game_ / "uz/Lone.umx.uz", "made elsewhere");
    fs::create_directories(web_ / "uz");
    const mode_t umask = ::umask(077);
    for (const char* said :
         {"uploaded 3, 0 failed, 0 already there", "uploaded 0, 0 failed, 3 already there"}) {
        const test::ProgramEnd ended =
            run({"sync", "--remote", "uz", "--identity", "x", "--password-file", "x", "--active"});
        EXPECT_EQ(ended.exitCode, 0) << ended.err;
        expectSaid(ended, said);
    }
    ::umask(umask);
    const fs::path ftpRoot = dir_ / "ftp";
    fs::create_directories(ftpRoot);
    test::FtpServer ftp({.accounts = {{"ut", "pw", ftpRoot}}});
    ::setenv("VARNOX_FTP_PASSWORD", "pw", 1);
    EXPECT_EQ(run({"upload", "--server", ftp.address()}).exitCode, 0);
    ::unsetenv("VARNOX_FTP_PASSWORD");
    EXPECT_EQ(filesIn(web_ / "uz", true), filesIn(ftpRoot, true));
    EXPECT_EQ(filesIn(web_ / "uz", true), filesIn(game_ / "uz"));
    for (const std::string& name : test::namesIn(web_ / "uz")) {
        EXPECT_EQ(fs::status(web_ / "uz" / name).permissions(), fs::perms(0644)) << name;
    }
    expectSaid(run({"status", "--server", "file:///nowhere", "--remote", (web_ / "uz").string()}),
               "0 missing, 0 differing, 0 unverified");
}

// What the folder holds is judged as a server's copies are: a copy of the right size but
// unrecorded stays until --verify finds other bytes, one rewritten after the upload is sent
// again, --delete removes an orphan, and an upload's leftover temporary file goes once it has
// kept its size for the settling time.
TEST_F(FolderRedirectTest, CopiesOrphansAndLeftoversAreJudgedAsOnAServer) {
    writeFile(game_ / "uz/A.unr.uz", "aaaa");
    writeFile(game_ / "uz/B.unr.uz", "bbbb");
    writeFile(web_ / "A.unr.uz", "AAAA");
    writeFile(web_ / "Orphan.unr.uz", "o");
    writeFile(web_ / ".varnox-upload-12345678", "left over");
    const auto settled = [&] {
        for (const std::string& name : test::namesIn(game_ / "uz")) {
            if (name.starts_with(".varnox-redirect-upload-")) {
                const std::string text = readFile(game_ / "uz" / name);
                writeFile(game_ / "uz" / name,
                          std::regex_replace(text, std::regex("(seen .+) \\d+"), "$1 0"));
            }
        }
    };
    const struct {
        Args args;
        std::function<void()> before;
        std::vector<std::string> said;
    } steps[] = {
        {{"upload", "--delete"},
         {},
         {"uploaded  B.unr.uz (4 bytes, missing", "removed  Orphan.unr.uz", "kept  .varnox-upload-",
          "(1 unverified"}},
        {{"upload", "--verify"},
         {},
         {"uploaded  A.unr.uz (4 bytes, the server's copy of the same "
          "size holds other bytes)"}},
        {{"upload"},
         [&] { writeFile(web_ / "B.unr.uz", "BBBB"); },
         {"uploaded  B.unr.uz (4 bytes, the server's copy changed after it was uploaded"}},
        {{"upload"}, settled, {"removed  .varnox-upload-12345678", "uploaded 0, 0 failed"}},
    };
    for (const auto& step : steps) {
        if (step.before) {
            step.before();
        }
        const test::ProgramEnd ended = run(step.args);
        EXPECT_EQ(ended.exitCode, 0) << ended.err;
        for (const std::string& said : step.said) {
            expectSaid(ended, said);
        }
    }
    EXPECT_EQ(filesIn(web_, true), filesIn(game_ / "uz"));
}

// A folder that is not there is not made; a file: URL that names a host, a relative path or a
// bad escape is a wrong command line, and unusable settings when the settings file gives it.
TEST_F(FolderRedirectTest, MissingFoldersAndBadUrlsAreRefused) {
    writeSettings(dir_ / "relative.txt", "file:web%20root");
    const struct {
        Args args;
        int exitCode;
        std::string said;
    } cases[] = {
        {{"upload", "--server", "file://" + (dir_ / "none").string()},
         1,
         "The folder " + (dir_ / "none").string() + " does not exist"},
        {{"status", "--remote", "gone"}, 1, "web root/gone does not exist"},
        {{"upload", "--server", "file://host/srv"}, 2, "'file://host/srv' names a host"},
        {{"upload", "--server", "file:srv"}, 2, "'file:srv' is not an absolute path"},
        {{"upload", "--server", "file:///a%2"}, 2, "not followed by two hexadecimal digits"},
        {{"upload", "--server", "file:///a%00b"}, 2, "holds %00"},
        {{"upload", "--config", (dir_ / "relative.txt").string()}, 1, "is not an absolute path"},
        {{"trust"}, 1, "is a folder on this machine, with no certificate"},
    };
    for (const auto& c : cases) {
        const test::ProgramEnd ended = run(c.args);
        EXPECT_EQ(ended.exitCode, c.exitCode) << c.said;
        expectSaid(ended, c.said);
    }
    EXPECT_FALSE(fs::exists(dir_ / "none"));
    EXPECT_FALSE(fs::exists(web_ / "gone"));
}

}  // namespace
}  // namespace varnox::redirect
