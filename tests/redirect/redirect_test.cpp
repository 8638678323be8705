// varnox-redirect as an admin runs it: the real program as a child process, over a temporary
// game folder and a real FTP server (pyftpdlib on 127.0.0.1).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "settings/settings_file.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/game_folder.h"
#include "tests/support/temp_dir.h"
#include "uz/files.h"

extern char** environ;

namespace varnox::redirect {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;
using test::writeFile;
using Args = std::vector<std::string>;
// Every file below a folder, by relative path, with its bytes.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const fs::path& folder) {
    Snapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).string()] = readFile(entry.path());
        }
    }
    return files;
}

// Whether a name in the folder starts with `prefix` and ends with `ending`.
bool anyNamed(const fs::path& folder, const std::string& prefix, const std::string& ending = "") {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix) && name.ends_with(ending)) {
            return true;
        }
    }
    return false;
}

std::string bytes(std::size_t size, unsigned seed) {
    std::string text(size, '\0');
    for (char& c : text) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return text;
}

bool eventually(const std::function<bool()>& condition) {
    for (auto end = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(5ms)) {
        if (condition()) {
            return true;
        }
    }
    return false;
}

struct Ended {
    int status = -1;  // -1 when killed
    std::string out;
    std::string err;
};

// The program running as a child process, its output going to files.
class Child {
public:
    Child(const fs::path& capture, const Args& args) : capture_(capture) {
        Args strings = {test::builtProgram("varnox-redirect").string()};
        strings.insert(strings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : strings) {
            argv.push_back(s.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, (capture / "out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (capture / "err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            throw std::runtime_error("cannot start varnox-redirect");
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    void kill() { ::kill(pid_, SIGKILL); }
    Ended wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(capture_ / "out"),
                readFile(capture_ / "err")};
    }

private:
    fs::path capture_;
    pid_t pid_ = -1;
};

// A game folder named by a settings file that also names the server, once it runs.
class RedirectTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::makeGameFolder(game_, false);
        fs::create_directories(root_);
        writeSettings("");
    }
    void writeSettings(const std::string& server, const std::string& game = "") {
        settings::writeSettingsFile(
            config_, {game.empty() ? game_.string() : game, "", server, "admin", "pw", ""});
    }
    void serve(const std::function<void(test::FtpServerOptions&)>& set = {}) {
        server_.reset();
        test::FtpServerOptions options;
        options.accounts = {{"admin", "pw", root_}};
        if (set) {
            set(options);
        }
        server_ = std::make_unique<test::FtpServer>(std::move(options));
        writeSettings(server_->address());
    }
    Child start(Args args) {
        args.insert(args.begin(), {"--config", config_.string()});
        return Child(dir_.path(), args);
    }
    Ended run(const Args& args) { return start(args).wait(); }
    void package(const std::string& name, const std::string& content) {
        writeFile(game_ / name, content);
    }

    test::TempDir dir_;
    fs::path game_ = dir_ / "game";
    fs::path root_ = dir_ / "root";
    fs::path config_ = dir_ / "config.txt";
    std::unique_ptr<test::FtpServer> server_;
};

TEST_F(RedirectTest, StatusBeforeAndAfterSync) {
    serve();
    package("Maps/DM-\"Quoted\".unr", bytes(5000, 1));
    package("Sounds/Amb.uax", bytes(3000, 2));
    package("Maps/readme.txt", "not a package");
    Ended before = run({"status"});
    EXPECT_EQ(before.status, 0) << before.err;
    EXPECT_NE(before.out.find("no .uz          server: missing     Sounds/Amb.uax\n"),
              std::string::npos)
        << before.out;
    EXPECT_NE(before.out.find("2 packages: 0 up to date, 0 with an older .uz, 2 without .uz"),
              std::string::npos);

    EXPECT_EQ(run({"sync"}).status, 0);
    const Ended after = run({"status", "--json"});
    EXPECT_NE(after.out.find(R"({"event": "status", "package": "Maps/DM-\"Quoted\".unr", )"
                             R"("uz": "up_to_date", "server": "same"})"),
              std::string::npos)
        << after.out;
    EXPECT_EQ(readFile(root_ / "Amb.uax.uz"), readFile(game_ / "uz/Amb.uax.uz"));
}

TEST_F(RedirectTest, CompressSkipsWhatIsUpToDate) {
    package("Maps/A.unr", bytes(4000, 3));
    package("Textures/B.utx", bytes(4000, 4));
    ASSERT_EQ(run({"compress", "--jobs", "2"}).status, 0);
    const auto untouched = fs::last_write_time(game_ / "uz/B.utx.uz");
    fs::last_write_time(game_ / "uz/A.unr.uz", untouched - 1h);

    const Ended second = run({"compress"});
    EXPECT_EQ(second.status, 0);
    EXPECT_NE(second.out.find("compressed  Maps/A.unr -> uz/A.unr.uz"), std::string::npos);
    EXPECT_NE(second.out.find("compress: compressed 1, 0 failed, 1 up to date"), std::string::npos);
    EXPECT_EQ(fs::last_write_time(game_ / "uz/B.utx.uz"), untouched);
}

TEST_F(RedirectTest, AnInterruptedCompressLeavesOnlyWholeFiles) {
    const int count = 10;
    auto name = [](int i) { return "Maps/M" + std::to_string(i) + ".unr"; };
    for (int i = 0; i < count; ++i) {
        package(name(i), bytes(3 << 20, i));
    }
    ASSERT_EQ(run({"compress"}).status, 0);
    for (int i = 0; i < count; ++i) {
        package(name(i), bytes(3 << 20, 100 + i));
        fs::last_write_time(game_ / ("uz/M" + std::to_string(i) + ".unr.uz"),
                            fs::file_time_type::clock::now() - 1h);
    }
    const auto replacedOne = [&] {
        for (const auto& entry : fs::directory_iterator(game_ / "uz")) {
            if (entry.last_write_time() > fs::file_time_type::clock::now() - 30min) {
                return true;
            }
        }
        return false;
    };
    Child child = start({"compress", "--jobs", "2"});
    EXPECT_TRUE(eventually([&] { return replacedOne() && anyNamed(game_ / "uz", ".", ".part"); }));
    child.kill();
    EXPECT_EQ(child.wait().status, -1);
    const auto decodesToOldOrNew = [&](bool newOnly) {
        for (int i = 0; i < count; ++i) {
            uz::decompressFile(game_ / ("uz/M" + std::to_string(i) + ".unr.uz"), dir_ / "out");
            const std::string decoded = readFile(dir_ / "out");
            EXPECT_TRUE(decoded == bytes(3 << 20, 100 + i) ||
                        (!newOnly && decoded == bytes(3 << 20, i)))
                << i;
        }
    };
    decodesToOldOrNew(false);
    EXPECT_EQ(run({"compress"}).status, 0);
    EXPECT_FALSE(anyNamed(game_ / "uz", ".", ".part"));
    decodesToOldOrNew(true);
}

class UploadTest : public RedirectTest, public ::testing::WithParamInterface<bool> {};

// Missing, changed and current files, and a name the server holds in another letter case;
// with and without a server that refuses to rename onto an existing file.
TEST_P(UploadTest, UploadsWhatTheServerLacksOrHoldsWithAnotherSize) {
    const bool refusesRename = GetParam();
    serve([&](auto& options) { options.refuseRenameOverFile = refusesRename; });
    writeFile(game_ / "uz/Changed.unr.uz", "new and longer");
    writeFile(game_ / "uz/Current.uax.uz", "same");
    writeFile(game_ / "uz/Missing.umx.uz", "missing");
    writeFile(root_ / "Changed.unr.uz", "old");
    writeFile(root_ / "Current.uax.uz", "same");
    writeFile(root_ / "missing.UMX.uz", "other case");
    const Ended ended = run({"upload"});
    EXPECT_EQ(ended.status, 0) << ended.err;
    const std::string deleted =
        refusesRename ? "); the server would not rename onto its old copy" : ")\n";
    EXPECT_NE(ended.out.find("uploaded  Changed.unr.uz (14 bytes, the server's copy has 3 bytes, "
                             "this one 14" +
                             deleted),
              std::string::npos)
        << ended.out;
    EXPECT_NE(ended.out.find("uploaded  Missing.umx.uz (7 bytes, missing on the server); the "
                             "server also holds missing.UMX.uz, in another letter case"),
              std::string::npos);
    EXPECT_NE(ended.out.find("uploaded 2, 0 failed, 1 already there"), std::string::npos);
    Snapshot expected = snapshot(game_ / "uz");
    expected["missing.UMX.uz"] = "other case";
    EXPECT_EQ(snapshot(root_), expected);
}

INSTANTIATE_TEST_SUITE_P(RenameOntoFile, UploadTest, ::testing::Bool());

// The same folder as a Unix and as a DOS/IIS server lists it: a file of another size, one in
// another letter case, a link and a folder.
TEST_F(RedirectTest, StatusReadsUnixAndDosListings) {
    package("Maps/A.unr", "a");
    package("Maps/B.unr", "b");
    package("Maps/C.unr", "c");
    package("Maps/D.unr", "d");
    ASSERT_EQ(run({"compress"}).status, 0);
    for (const char* listing :
         {"-rw-r--r-- 1 ut ut 9 Jan 01 12:00 A.unr.uz\r\n-rw-r--r-- 1 ut ut 9 Jan 01 12:00 "
          "b.UNR.uz\r\nlrwxrwxrwx 1 ut ut 9 Jan 01 12:00 C.unr.uz -> x\r\ndrwxr-xr-x 2 ut ut "
          "4096 Jan 01 12:00 D.unr.uz\r\n",
          "01-01-25  12:00PM                    9 A.unr.uz\r\n01-01-25  12:00PM              "
          "      9 b.UNR.uz\r\n01-01-25  12:00PM       <DIR>          D.unr.uz\r\n"}) {
        serve([&](auto& options) { options.cannedListing = listing; });
        const std::string out = run({"status"}).out;
        const bool unix = std::string(listing).starts_with("-");
        for (const std::string said :
             {".uz up to date  server: other size  Maps/A.unr\n",
              "server: missing     Maps/B.unr (the server holds b.UNR.uz: another letter case",
              unix ? "server: a link      Maps/C.unr" : "server: missing     Maps/C.unr",
              "server: a folder    Maps/D.unr"}) {
            EXPECT_NE(out.find(said), std::string::npos) << said << "\n" << out;
        }
    }
}

TEST_F(RedirectTest, AnUploadCutMidWayKeepsTheOldFileAndLeavesNoTemporaryName) {
    serve([](auto& options) { options.throttleBytesPerSecond = 256 * 1024; });
    writeFile(game_ / "uz/A.unr.uz", bytes(2 << 20, 5));
    writeFile(root_ / "A.unr.uz", "old");
    Child child = start({"upload"});
    EXPECT_TRUE(eventually([&] { return anyNamed(root_, ".varnox-upload-"); }));
    child.kill();
    child.wait();
    EXPECT_EQ(readFile(root_ / "A.unr.uz"), "old");

    serve();
    const Ended next = run({"upload"});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_NE(next.out.find("removed  .varnox-upload-"), std::string::npos) << next.out;
    EXPECT_EQ(snapshot(root_), snapshot(game_ / "uz"));
}

TEST_F(RedirectTest, ADryRunChangesNothingHereOrOnTheServer) {
    serve();
    package("Maps/A.unr", bytes(4000, 6));
    writeFile(game_ / "uz/B.uax.uz", "b");
    writeFile(root_ / ".varnox-upload-12345678", "left over");
    const Snapshot here = snapshot(game_);
    const Snapshot there = snapshot(root_);
    const Ended ended = run({"sync", "--dry-run"});
    EXPECT_EQ(ended.status, 0) << ended.err;
    for (const char* said : {"would compress  Maps/A.unr -> uz/A.unr.uz (no .uz yet)",
                             "would upload  A.unr.uz (to be compressed first)",
                             "would upload  B.uax.uz (missing on the server)",
                             "would remove  .varnox-upload-12345678"}) {
        EXPECT_NE(ended.out.find(said), std::string::npos) << said << "\n" << ended.out;
    }
    EXPECT_EQ(snapshot(game_), here);
    EXPECT_EQ(snapshot(root_), there);
}

TEST_F(RedirectTest, BadSettingsAndAnUnreachableServerAreClearErrors) {
    const test::LocalPort closed(false);
    struct Case {
        Args args;
        std::string settingsServer;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{"status", "--config", (dir_ / "none.txt").string()}, "", "none.txt does not exist"},
        {{"compress", "--game", (dir_ / "nowhere").string()}, "", "nowhere does not exist"},
        {{"upload"}, "", "names no server; give --server HOST"},
        {{"upload", "--password-file", (dir_ / "pw").string()},
         "127.0.0.1:1",
         "Cannot read the password file " + (dir_ / "pw").string()},
        {{"upload"}, "127.0.0.1:" + std::to_string(closed.port()), "nothing answers"},
    };
    for (const Case& c : cases) {
        writeSettings(c.settingsServer);
        const Ended ended = run(c.args);
        EXPECT_EQ(ended.status, 1) << c.said;
        EXPECT_NE(ended.err.find(c.said), std::string::npos) << ended.err;
    }
    writeFile(config_, "\"UTpath:\",\"\"\r\n");
    EXPECT_NE(run({"status"}).err.find("names no game folder; give --game DIR"), std::string::npos);
}

TEST_F(RedirectTest, AnUntrustedCertificateFailsWithoutAQuestion) {
    serve([](auto& options) { options.explicitTls = true; });
    writeSettings("ftpes://" + server_->address());
    const Ended ended = run({"upload"});
    EXPECT_EQ(ended.status, 1);
    EXPECT_NE(ended.err.find("its certificate does not verify and is not trusted"),
              std::string::npos)
        << ended.err;
}

TEST_F(RedirectTest, UsageErrorsExitWithTwo) {
    for (const Args& args : std::vector<Args>{{},
                                              {"frobnicate"},
                                              {"status", "--bogus"},
                                              {"status", "compress"},
                                              {"compress", "--jobs", "0"},
                                              {"upload", "--password", "pw"},
                                              {"status", "--game"}}) {
        const Ended ended = Child(dir_.path(), args).wait();
        EXPECT_EQ(ended.status, 2) << ::testing::PrintToString(args);
        EXPECT_NE(ended.err.find("Try 'varnox-redirect --help'"), std::string::npos);
    }
}

}  // namespace
}  // namespace varnox::redirect
