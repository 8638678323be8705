// varnox-redirect as an admin runs it: the real program as a child process, over a temporary
// game folder and a real FTP server (pyftpdlib on 127.0.0.1).
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <regex>
#include <sstream>

#include "redirect/manifest.h"
#include "settings/settings_file.h"
#include "tests/redirect/run_redirect.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/game_folder.h"
#include "tests/support/programs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/uz_data.h"
#include "uz/files.h"

namespace varnox::redirect {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::eventually;
using test::readFile;
using test::writeFile;
using Args = std::vector<std::string>;
using Snapshot = std::map<std::string, std::string>;

// Every file below a folder, by relative path, with its bytes; hidden ones only when asked.
Snapshot snapshot(const fs::path& folder, bool hidden = true) {
    Snapshot files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() &&
            (hidden || !entry.path().filename().string().starts_with("."))) {
            files[fs::relative(entry.path(), folder).string()] = readFile(entry.path());
        }
    }
    return files;
}

// The names in a folder, each after a "/", to search in.
std::string namesIn(const fs::path& folder) {
    std::string names;
    for (const std::string& name : test::namesIn(folder)) {
        names += "/" + name;
    }
    return names;
}

// Bytes that do not compress, the same for the same seed.
std::string bytes(std::size_t size, unsigned seed) {
    const uz::test::Bytes random = uz::test::randomBytes(size, seed);
    return {random.begin(), random.end()};
}

// From the first status to the second compress: a dry run changes nothing here or on the
// server, a sync compresses and uploads, and a compress redoes only a .uz older than its
// package.
TEST_F(RedirectTest, StatusDryRunSyncAndCompressAgain) {
    serve();
    writeFile(game_ / "Maps/DM-\"Quoted\".unr", bytes(5000, 1));
    writeFile(game_ / "Sounds/Amb.uax", bytes(3000, 2));
    writeFile(game_ / "Maps/readme.txt", "not a package");
    writeFile(game_ / "uz/Lone.unr.uz", "no package");
    writeFile(root_ / ".varnox-upload-12345678", "left over");
    test::ProgramEnd ended = run({"status"});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    expectSaid(ended.out, {"no .uz          server: missing     Sounds/Amb.uax\n",
                           "2 packages: 0 up to date, 0 with an older .uz, 2 without .uz"});

    const Snapshot here = snapshot(game_), there = snapshot(root_);
    ended = run({"sync", "--dry-run"});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    expectSaid(ended.out, {"would compress  Sounds/Amb.uax -> uz/Amb.uax.uz (no .uz yet)",
                           "would upload  Amb.uax.uz (to be compressed first)",
                           "would upload  Lone.unr.uz (missing on the server)",
                           "kept  .varnox-upload-12345678"});
    EXPECT_EQ(snapshot(game_), here);
    EXPECT_EQ(snapshot(root_), there);

    EXPECT_EQ(run({"sync", "--jobs", "2"}).exitCode, 0);
    expectSaid(run({"status", "--json"}).out,
               {R"({"event": "status", "package": "Maps/DM-\"Quoted\".unr", )"
                R"("uz": "up_to_date", "server": "same", "uz_too_large": true})"});
    EXPECT_EQ(readFile(root_ / "Amb.uax.uz"), readFile(game_ / "uz/Amb.uax.uz"));

    const auto untouched = fs::last_write_time(game_ / "uz/Amb.uax.uz");
    fs::last_write_time(game_ / "uz/DM-\"Quoted\".unr.uz", untouched - 1h);
    ended = run({"compress"});
    EXPECT_EQ(ended.exitCode, 0);
    expectSaid(ended.out, {"compressed  Maps/DM-\"Quoted\".unr -> uz/DM-\"Quoted\".unr.uz",
                           "compress: compressed 1, 0 failed, 1 up to date"});
    EXPECT_EQ(fs::last_write_time(game_ / "uz/Amb.uax.uz"), untouched);
}

// Each .uz is missing or whole after a compress cut short; the next run removes what that
// left in the uz folder and compresses the rest.
TEST_F(RedirectTest, AnInterruptedCompressLeavesOnlyWholeFiles) {
    const int count = 10;
    auto uz = [&](int i) { return game_ / ("uz/M" + std::to_string(i) + ".unr.uz"); };
    for (int i = 0; i < count; ++i) {
        writeFile(game_ / ("Maps/M" + std::to_string(i) + ".unr"), bytes(3 << 20, i));
    }
    const pid_t child = start({"compress", "--jobs", "2"});
    EXPECT_TRUE(eventually([&] {
        const std::string names = namesIn(game_ / "uz");
        return names.find(".unr.uz") != std::string::npos &&
               names.find(".part") != std::string::npos;
    }));
    ::kill(child, SIGKILL);
    EXPECT_EQ(wait(child).exitCode, -1);
    for (bool rerun : {false, true}) {
        if (rerun) {
            EXPECT_EQ(run({"compress"}).exitCode, 0);
            EXPECT_EQ(namesIn(game_ / "uz").find(".part"), std::string::npos);
        }
        for (int i = 0; i < count; ++i) {
            if (rerun || fs::exists(uz(i))) {
                uz::decompressFile(uz(i), dir_ / "out");
                EXPECT_TRUE(readFile(dir_ / "out") == bytes(3 << 20, i)) << i;
            }
        }
    }
}

// Missing, changed and current files, and a name the server holds in another letter case,
// on a server that refuses to rename onto an existing file: only the changed file had to
// be deleted first (other uploads rename onto their final name in the other tests).
TEST_F(RedirectTest, UploadsWhatTheServerLacksOrHoldsWithAnotherSize) {
    serve({.refuseRenameOverFile = true});
    writeFile(game_ / "uz/Changed.unr.uz", "new and longer");
    writeFile(game_ / "uz/Current.uax.uz", "same");
    writeFile(game_ / "uz/Missing.umx.uz", "missing");
    writeFile(root_ / "Changed.unr.uz", "old");
    writeFile(root_ / "Current.uax.uz", "same");
    writeFile(root_ / "missing.UMX.uz", "other case");
    const test::ProgramEnd ended = run({"upload"});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    expectSaid(ended.out, {"uploaded  Changed.unr.uz (14 bytes, the server's copy has 3 bytes, "
                           "this one 14); the server would not rename onto its old copy",
                           "uploaded  Missing.umx.uz (7 bytes, missing on the server); the server "
                           "also holds missing.UMX.uz, in another letter case",
                           "uploaded 2, 0 failed, 1 already there"});
    Snapshot expected = snapshot(game_ / "uz", false);
    expected["missing.UMX.uz"] = "other case";
    EXPECT_EQ(snapshot(root_), expected);
}

// The same folder as a Unix and as a DOS/IIS server lists it: a file of another size, one in
// another letter case, a link and a folder; and a listing too long to read whole, one line of
// words that takes less than 200 MiB more than a short listing.
TEST_F(RedirectTest, StatusReadsUnixAndDosListings) {
    for (const char* name : {"A", "B", "C", "D"}) {
        writeFile(game_ / "Maps" / (name + std::string(".unr")), std::string(900, name[0]));
    }
    ASSERT_EQ(run({"compress"}).exitCode, 0);
    const std::string a = ".uz up to date  server: other size  Maps/A.unr\n",
                      b = "server: missing     Maps/B.unr (the server holds b.UNR.uz: another "
                          "letter case",
                      d = "server: a folder    Maps/D.unr";
    std::string endless = "-rw-r--r-- 1 ut ut 9 Jan 01 12:00 A.unr.uz\r\n";
    while (endless.size() < (63u << 20)) {
        endless += "x ";
    }
    endless += "\r\n" + std::string(2u << 20, 'x');
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"-rw-r--r-- 1 ut ut 9 Jan 01 12:00 A.unr.uz\r\n-rw-r--r-- 1 ut ut 9 Jan 01 12:00 "
         "b.UNR.uz\r\nlrwxrwxrwx 1 ut ut 9 Jan 01 12:00 C.unr.uz -> x\r\ndrwxr-xr-x 2 ut ut "
         "4096 Jan 01 12:00 D.unr.uz\r\n",
         {a, b, "server: a link      Maps/C.unr", d}},
        {"01-01-25  12:00PM                    9 A.unr.uz\r\n01-01-25  12:00PM              "
         "      9 b.UNR.uz\r\n01-01-25  12:00PM       <DIR>          D.unr.uz\r\n",
         {a, b, "server: missing     Maps/C.unr", d}},
        {endless,
         {"is too long to read whole: its listing is longer than 64 MiB (1 entry read)",
          ".uz up to date  Maps/A.unr\n"}},
    };
    std::vector<long> peakKiB;
    for (const auto& [listing, said] : cases) {
        serve({.cannedListing = listing});
        const test::ProgramEnd ended = run({"status"});
        expectSaid(ended.out + ended.err, said);
        peakKiB.push_back(ended.peakKiB);
    }
    EXPECT_LT(peakKiB.back() - peakKiB.front(), 200 << 10) << "more than for a short listing";
}

// An upload cut short leaves the old file on the server; what the cut left under its
// temporary name stays until it has kept its size long enough to belong to no live run.
TEST_F(RedirectTest, AnUploadCutMidWayKeepsTheOldFileAndItsTemporaryNameSettles) {
    serve({.throttleBytesPerSecond = 256 * 1024});
    writeFile(game_ / "uz/A.unr.uz", bytes(2 << 20, 5));
    writeFile(root_ / "A.unr.uz", "old");
    const pid_t child = start({"upload"});
    EXPECT_TRUE(
        eventually([&] { return namesIn(root_).find("/.varnox-upload-") != std::string::npos; }));
    ::kill(child, SIGKILL);
    wait(child);
    EXPECT_EQ(readFile(root_ / "A.unr.uz"), "old");
    serve();
    const test::ProgramEnd next = run({"upload"});
    expectSaid(next.out, {"kept  .varnox-upload-",
                          "removed once its size has stayed the same "
                          "for 10 minutes",
                          "uploaded  A.unr.uz"});
    EXPECT_EQ(readFile(root_ / "A.unr.uz"), readFile(game_ / "uz/A.unr.uz"));
    // As if the runs had seen it long ago: it goes.
    for (const std::string& name : test::namesIn(game_ / "uz")) {
        if (name.ends_with(".lock") && name.starts_with(".varnox-redirect-upload-")) {
            const std::string text = readFile(game_ / "uz" / name);
            writeFile(game_ / "uz" / name,
                      std::regex_replace(text, std::regex("(seen .+) \\d+"), "$1 0"));
        }
    }
    expectSaid(run({"upload"}).out, {"removed  .varnox-upload-"});
    EXPECT_EQ(snapshot(root_), snapshot(game_ / "uz", false));
}

// A wrong command line exits with 2, settings that cannot be used and a server that cannot
// be reached or trusted with 1.
TEST_F(RedirectTest, UsageErrorsBadSettingsAndUnusableServersAreClearErrors) {
    const test::LocalPort closed(false);
    test::FtpServer tls({.accounts = {{"admin", "pw", root_}}, .explicitTls = true});
    const struct {
        Args args;
        std::string server;  // in the settings file
        std::string said;
    } cases[] = {
        {{"status", "--config", (dir_ / "none.txt").string()}, "", "none.txt does not exist"},
        {{"compress", "--game", (dir_ / "nowhere").string()}, "", "nowhere does not exist"},
        {{"upload"}, "", "names no server; give --server HOST"},
        {{"upload", "--password-file", (dir_ / "pw").string()},
         "127.0.0.1:1",
         "Cannot read the password file " + (dir_ / "pw").string()},
        {{"upload", "--password-file", (dir_ / "open").string()},
         "127.0.0.1:1",
         "The password file " + (dir_ / "open").string() + " can be read by others (mode 0644)"},
        {{"upload"}, "127.0.0.1:" + std::to_string(closed.port()), "nothing answers"},
        {{"upload"},
         "ftpes://" + tls.address(),
         "its certificate does not verify and is not trusted"},
    };
    const Args usageErrors[] = {{},
                                {"frobnicate"},
                                {"status", "--bogus"},
                                {"status", "compress"},
                                {"compress", "--jobs", "0"},
                                {"upload", "--password", "pw"},
                                {"status", "--game"},
                                {"status", "--url", "http://h/"},
                                {"compress", "--delete"}};
    writeFile(dir_ / "open", "pw\n");
    fs::permissions(dir_ / "open", fs::perms(0644));
    for (const Args& args : usageErrors) {
        const test::ProgramEnd ended = run(args);
        EXPECT_EQ(ended.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_NE(ended.err.find("Try 'varnox-redirect --help'"), std::string::npos);
    }
    for (const auto& c : cases) {
        writeSettings(c.server);
        const test::ProgramEnd ended = run(c.args);
        EXPECT_EQ(ended.exitCode, 1) << ::testing::PrintToString(c.args);
        EXPECT_NE(ended.err.find(c.said), std::string::npos) << ended.err;
    }
    writeFile(config_, "\"UTpath:\",\"\"\r\n");
    EXPECT_NE(run({"status"}).err.find("names no game folder; give --game DIR"), std::string::npos);
}

// Runs that overlap: an upload from this game folder waits for the one running and then
// says which run holds the server folder; one from elsewhere (another machine) keeps the
// temporary name that is still growing; the first run ends well.
TEST_F(RedirectTest, ARunNeverRemovesAnUploadAnotherRunIsStillSending) {
    serve({.throttleBytesPerSecond = 160 * 1024});  // some 12 s for the first run
    writeFile(game_ / "uz/A.unr.uz", bytes(2 << 20, 3));
    const pid_t first = start({"upload"});
    ASSERT_TRUE(
        eventually([&] { return namesIn(root_).find("/.varnox-upload-") != std::string::npos; }));
    const test::ProgramEnd waited = run({"upload", "--timeout", "2"});
    EXPECT_EQ(waited.exitCode, 1);
    expectSaid(waited.err, {"Another run is uploading to 127.0.0.1:", " (process "});
    const fs::path elsewhere = dir_ / "elsewhere";
    test::makeGameFolder(elsewhere, false);
    const test::ProgramEnd other = run({"upload", "--game", elsewhere.string()});
    EXPECT_EQ(other.exitCode, 0) << other.err;
    expectSaid(other.out, {"kept  .varnox-upload-"});
    const test::ProgramEnd ended = wait(first);
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    EXPECT_EQ(snapshot(root_), snapshot(game_ / "uz", false));
}

// Two runs on one game folder at once: the one that finds the uz folder made by the other
// goes on, the second waits for the first, and every .uz is whole.
TEST_F(RedirectTest, RunsOnOneGameFolderTakeTurns) {
    fs::remove(game_ / "uz");
    for (int i = 0; i < 6; ++i) {
        writeFile(game_ / ("Maps/M" + std::to_string(i) + ".unr"), bytes(128 << 10, i));
    }
    const pid_t first = start({"compress", "--jobs", "1"});
    const test::ProgramEnd second = run({"compress", "--jobs", "1"});
    const test::ProgramEnd ended = wait(first);
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    EXPECT_EQ(second.exitCode, 0) << second.err;
    for (int i = 0; i < 6; ++i) {
        uz::decompressFile(game_ / ("uz/M" + std::to_string(i) + ".unr.uz"), dir_ / "out");
        EXPECT_TRUE(readFile(dir_ / "out") == bytes(128 << 10, i)) << i;
    }
}

// A name that cannot be sent fails alone, the others go up; names and server bytes that
// could steer a terminal are shown escaped; and a log gets the time on every line.
TEST_F(RedirectTest, ANameThatCannotBeSentFailsAloneAndNothingReachesTheTerminalRaw) {
    serve();
    writeFile(game_ / "uz/A.unr.uz", "a");
    writeFile(game_ / "uz/DM-B\001x.unr.uz", "b");
    writeFile(game_ / "uz/C.unr.uz", "c");
    test::ProgramEnd ended = run({"upload"});
    EXPECT_EQ(ended.exitCode, 1);
    expectSaid(ended.err, {"error: DM-B\\x01x.unr.uz: Cannot upload"});
    expectSaid(ended.out, {"uploaded 2, 1 failed"});
    EXPECT_EQ(ended.err.find("stops here"), std::string::npos);
    EXPECT_TRUE(fs::exists(root_ / "C.unr.uz"));
    const std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d [^\x00-\x1f\x7f]+)");
    std::istringstream lines(ended.out + ended.err);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    }
    serve({.cannedListing = "-rw-r--r-- 1 ut ut 9 Jan 01 12:00 .varnox-upload-\x1b]0;owned\x07"
                            "\x1b[2J\x1b[31m\r\n"});
    ended = run({"upload", "--dry-run"});
    expectSaid(ended.out, {"kept  .varnox-upload-\\x1b]0;owned\\x07\\x1b[2J\\x1b[31m"});
    EXPECT_EQ(ended.out.find('\x1b'), std::string::npos);
}

// A .uz is made again whenever its package differs from the one it was made from, whichever
// way the time moved; one without a record is judged by its time, or with --verify by its
// contents. A damaged manifest is reported and rebuilt; a dangling link fails alone.
TEST_F(RedirectTest, FreshnessFollowsWhatEachUzWasMadeFrom) {
    const auto package = [&](const std::string& name) { return game_ / "Maps" / name; };
    const auto uzOf = [&](const std::string& name) { return game_ / "uz" / (name + ".uz"); };
    for (const char* name : {"Older.unr", "SameTick.unr", "Kept.unr"}) {
        writeFile(package(name), bytes(4000, name[0]));
    }
    ASSERT_EQ(run({"compress"}).exitCode, 0);
    // Replaced by a copy with an older time (cp -p, unzip), and rewritten within the .uz's tick.
    const auto older = fs::last_write_time(package("Older.unr")) - 24h;
    writeFile(package("Older.unr"), bytes(4000, 9));
    fs::last_write_time(package("Older.unr"), older);
    const auto tick = fs::last_write_time(uzOf("SameTick.unr"));
    writeFile(package("SameTick.unr"), bytes(4001, 8));
    fs::last_write_time(package("SameTick.unr"), tick);
    // A .uz made elsewhere from other bytes, newer than its package, with no record.
    writeFile(package("Foreign.unr"), bytes(3000, 4));
    uz::compressFile(package("Kept.unr"), uzOf("Foreign.unr"));
    fs::create_symlink("nowhere", package("Gone.unr"));
    test::ProgramEnd ended = run({"compress"});
    EXPECT_EQ(ended.exitCode, 1);
    expectSaid(ended.err, {"Maps/Gone.unr: Cannot read", "a symbolic link that leads nowhere"});
    expectSaid(ended.out, {"compressed  Maps/Older.unr", "compressed  Maps/SameTick.unr",
                           "compressed 2, 1 failed, 2 up to date"});
    fs::remove(package("Gone.unr"));
    writeFile(game_ / "uz" / Manifest::kFileName, "garbage\n");
    ended = run({"compress", "--verify"});
    EXPECT_EQ(ended.exitCode, 0);
    expectSaid(ended.err, {"warning: The manifest", "is damaged or of another version"});
    expectSaid(ended.out, {"compressed  Maps/Foreign.unr", "compressed 1, 0 failed, 3 up to date"});
    for (const char* name : {"Older.unr", "SameTick.unr", "Foreign.unr"}) {
        uz::decompressFile(uzOf(name), dir_ / "out");
        EXPECT_EQ(readFile(dir_ / "out"), readFile(package(name))) << name;
    }
    expectSaid(run({"compress", "--verify"}).out, {"compressed 0, 0 failed, 4 up to date"});
}

// The SHA-256 fingerprint of a PEM certificate, as "AB:CD:...", by the openssl command.
std::string fingerprintOf(const fs::path& pem) {
    const test::TempDir output;
    const test::ProgramEnd ended = test::waitForProgram(
        test::startProgram("/usr/bin/openssl",
                           {"x509", "-noout", "-fingerprint", "-sha256", "-in", pem.string()}, {},
                           output.path()),
        output.path());
    return ended.out.substr(ended.out.find('=') + 1, 95);
}

// Without a terminal, a certificate is trusted only by its fingerprint; a wrong one trusts
// nothing; the right one is kept where the FTP window keeps it, and uploads then go.
TEST_F(RedirectTest, TrustAServerFromAScript) {
    test::FtpServer tls({.accounts = {{"admin", "pw", root_}},
                         .explicitTls = true,
                         .certificateFile = dir_ / "cert.pem"});
    writeSettings("ftpes://" + tls.address());
    const std::string fingerprint = fingerprintOf(dir_ / "cert.pem");
    const fs::path trusted = settings::trustedServersFileFor(config_);
    test::ProgramEnd ended = run({"trust"});
    EXPECT_EQ(ended.exitCode, 1);
    expectSaid(ended.out, {"  SHA-256:  " + fingerprint, "  subject:  "});
    expectSaid(ended.err, {"there is no terminal to ask on", "--fingerprint"});
    std::string other = fingerprint;
    other[0] = other[0] == 'A' ? 'B' : 'A';
    EXPECT_EQ(run({"trust", "--fingerprint", other}).exitCode, 1);
    EXPECT_FALSE(fs::exists(trusted));
    writeFile(game_ / "uz/A.unr.uz", "a");
    ended = run({"trust", "--fingerprint", fingerprint});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    expectSaid(ended.out, {"trusted  the certificate of 127.0.0.1:"});
    ended = run({"upload"});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    EXPECT_EQ(readFile(root_ / "A.unr.uz"), "a");
}

// Past --timeout the run stops, says so, and leaves no temporary file here or on the server,
// in the middle of a compress as of an upload that trickles.
TEST_F(RedirectTest, ATimeLimitStopsTheRunAndLeavesNothingBehind) {
    serve({.throttleBytesPerSecond = 20});
    for (int i = 0; i < 8; ++i) {
        writeFile(game_ / ("Maps/M" + std::to_string(i) + ".unr"), bytes(8 << 20, i));
    }
    writeFile(game_ / "uz/A.unr.uz", bytes(100'000, 1));
    for (const Args& args :
         {Args{"compress", "--jobs", "2", "--timeout", "1"}, Args{"upload", "--timeout", "2"}}) {
        const auto started = std::chrono::steady_clock::now();
        const test::ProgramEnd ended = run(args);
        EXPECT_EQ(ended.exitCode, 1) << args[0];
        EXPECT_LT(std::chrono::steady_clock::now() - started, 30s) << args[0];
        expectSaid(ended.err, {"took longer than --timeout " + args.back() + " s"});
        EXPECT_EQ(namesIn(game_ / "uz").find(".part"), std::string::npos) << args[0];
        EXPECT_EQ(namesIn(root_).find(".varnox-upload-"), std::string::npos) << args[0];
    }
}

}  // namespace
}  // namespace varnox::redirect
