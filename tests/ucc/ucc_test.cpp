// The ucc program as the GUI runs it: installed as <game>/System/UCC.exe in a temporary
// game folder and started as a child process with an argument vector; and its naming rule
// and percentage figure on their own.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <set>

#include "platform/failure.h"
#include "platform/lock_file.h"
#include "tests/support/files.h"
#include "tests/support/game_folder.h"
#include "tests/support/programs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/uz_data.h"
#include "tools/ucc/package_names.h"
#include "tools/ucc/ucc_command.h"
#include "tools/ucc/ucc_log.h"

namespace varnox::ucc {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Lines = std::vector<std::string>;
using Names = std::set<std::string>;

const fs::path kVectors = uz::test::vectorsDir();

class Ucc : public ::testing::Test {
protected:
    void SetUp() override { test::makeGameFolder(game_.path()); }

    fs::path game(const std::string& relative) const { return game_ / relative; }
    std::string at(const std::string& relative) const { return game(relative).string(); }
    // Starts the game folder's tool in one of its folders.
    pid_t start(const Lines& args, const std::string& folder = "", const fs::path& output = {}) {
        return test::startProgram(game("System/UCC.exe"), args, game(folder), output);
    }

    // The log lines between the header (open, Init) and the closing line, each checked to end
    // in CR LF.
    Lines logEntries() const {
        const std::string text = readFile(game("System/UCC.log"));
        Lines lines;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos;) {
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        EXPECT_EQ(start, text.size()) << "log ends without CR LF: " << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::ssize(lines)) << "bare LF";
        EXPECT_GE(lines.size(), 3u) << "log too short: " << text;
        lines.resize(std::max<std::size_t>(lines.size(), 3));
        EXPECT_TRUE(lines[0].starts_with("Log: Log file open, ")) << lines[0];
        EXPECT_TRUE(lines[1].starts_with("Init: varnox ucc ")) << lines[1];
        EXPECT_TRUE(lines.back().starts_with("Log: Log file closed, ")) << lines.back();
        return Lines(lines.begin() + 2, lines.end() - 1);
    }

    TempDir game_;
    TempDir output_;
};

// One game folder and one run of the tool after another in its Maps folder, as a table: each run's
// status, its log (started afresh) and the same lines split between standard output (results) and
// standard error (warnings, errors and, after a usage error, the usage text).
//
// Compress writes each PATH.uz beside its package, whatever folder it runs in; a .uz larger
// than its package (an empty one counts as one byte) is warned of. Decompress writes each
// package into the tool's own folder, named as the .uz file less its ending in any letter
// case (the name stored inside is not used), and replaces a package of that name only by a
// whole one. Names that give no package, or would replace the tool's own files in any letter
// case, are refused: the game folder's tool is found without regard to case, so a package
// named ucc.exe beside UCC.exe would take its place. Verify writes nothing. Every argument is
// one path, with blanks, shell characters or a leading '-', and a path that fails does not
// stop the others.
TEST_F(Ucc, EachRunLogsEveryPathAndEndsWithItsStatus) {
    const std::string odd = "it's a \"map\"; $HOME & `x` (1).unr";
    for (const std::string& name : Lines{"Sounds/package.bin", "Maps/" + odd, "Maps/-dash.unr"}) {
        fs::copy_file(kVectors / "package.bin", game(name));
    }
    const uz::test::Bytes noise = uz::test::randomBytes(20000, 7);
    writeFile(game("Sounds/Noise.uax"), std::string(noise.begin(), noise.end()));
    writeFile(game("Sounds/Empty.uax"), "");
    const std::string package = at("Sounds/package.bin"), oddPath = at("Maps/" + odd),
                      missing = at("Maps/Missing.unr"), noisy = at("Sounds/Noise.uax"),
                      empty = at("Sounds/Empty.uax");
    const Lines decompress = {"DECOMPRESS",       package + ".uz",        oddPath + ".uz",
                              "-dash.unr.uz",     "../uz/DM-Test.unr.uz", "../uz/Broken.unr.uz",
                              "../uz/.uz",        "../uz/one.bin",        "../uz/UCC.exe.uz",
                              "../uz/ucc.exe.uz", "../uz/Ucc.Log.uz",     "../uz/UCC.log.uz",
                              "../uz/ONE.BIN.UZ"};
    for (std::size_t i = 4; i < decompress.size(); ++i) {
        fs::copy_file(kVectors / "5678" / "package.bin.uz", game("Maps/" + decompress[i]));
    }
    const std::string whole = readFile(kVectors / "1234" / "twoblocks.bin.uz");
    writeFile(game("uz/Broken.unr.uz"), whole.substr(0, whole.size() - 100));
    std::string padded = readFile(kVectors / "1234" / "empty.bin.uz");
    padded.back() ^= static_cast<char>(0x80);  // decodes all the same
    writeFile(game("uz/Padded.unr.uz"), padded);
    writeFile(game("System/DM-Test.unr"), "old");
    writeFile(game("System/Broken.unr"), "the package that was there");

    const std::string refusal = " would replace the tool's own file (error 70)";
    const std::string larger = " bytes); old clients cannot download it";
    const struct {
        int status;
        Lines args;
        Lines log;
    } runs[] = {
        {1,
         {"compress", package, oddPath, "-dash.unr", missing, noisy, empty},
         {"Log: Compressed " + package + " -> " + package + ".uz (40%)",
          "Log: Compressed " + oddPath + " -> " + oddPath + ".uz (40%)",
          "Log: Compressed -dash.unr -> -dash.unr.uz (40%)",
          "Error: Cannot read " + missing + ": No such file or directory (error 53)",
          "Log: Compressed " + noisy + " -> " + noisy + ".uz (102%)",
          "Warning: " + noisy + ".uz is larger than " + noisy + " (20352 > 20000" + larger,
          "Log: Compressed " + empty + " -> " + empty + ".uz (2100%)",
          "Warning: " + empty + ".uz is larger than " + empty + " (21 > 0" + larger}},
        {1,
         decompress,
         {"Log: Decompressed " + package + ".uz -> package.bin",
          "Log: Decompressed " + oddPath + ".uz -> " + odd,
          "Log: Decompressed -dash.unr.uz -> -dash.unr",
          "Log: Decompressed ../uz/DM-Test.unr.uz -> DM-Test.unr",
          "Error: Cannot decompress ../uz/Broken.unr.uz: the data ends inside a Huffman code "
          "(error 62)",
          "Error: Cannot decompress ../uz/.uz: the file name leaves no package name (error 52)",
          "Error: Cannot decompress ../uz/one.bin: the file name does not end in .uz (error 52)",
          "Error: Cannot decompress ../uz/UCC.exe.uz: UCC.exe" + refusal,
          "Error: Cannot decompress ../uz/ucc.exe.uz: ucc.exe" + refusal,
          "Error: Cannot decompress ../uz/Ucc.Log.uz: Ucc.Log" + refusal,
          "Error: Cannot decompress ../uz/UCC.log.uz: UCC.log" + refusal,
          "Log: Decompressed ../uz/ONE.BIN.UZ -> ONE.BIN"}},
        {1,
         {"verify", "../uz/DM-Test.unr.uz", "../uz/Padded.unr.uz", "../uz/Broken.unr.uz",
          "../uz/None.unr.uz"},
         {"Log: Verified ../uz/DM-Test.unr.uz",
          "Error: Cannot verify ../uz/Padded.unr.uz: encoding its package again gives other "
          "bytes: the bits after the last Huffman code are not zero (error 321)",
          "Error: Cannot verify ../uz/Broken.unr.uz: the data ends inside a Huffman code (error "
          "62)",
          "Error: Cannot read ../uz/None.unr.uz: No such file or directory (error 53)"}},
        {0, {"Verify", "../uz/DM-Test.unr.uz"}, {"Log: Verified ../uz/DM-Test.unr.uz"}},
        {2, {}, {"Error: no command given (error 380)"}},
        {2, {"squash", "a.unr"}, {"Error: unknown command squash (error 380)"}},
        {2, {"compress"}, {"Error: no path given to compress (error 380)"}},
        {2, {"decompress"}, {"Error: no path given to decompress (error 380)"}},
        {2, {"decompress", "../uz/ONE.BIN.UZ", "-o"}, {"Error: -o needs a folder (error 380)"}},
        {1,
         {"decompress", "-o", "../None", "../uz/ONE.BIN.UZ"},
         {"Error: Cannot decompress into ../None: there is no such folder (error 76)"}},
        {1,
         {"decompress", "../uz/UCC.exe.uz", "--output=../System", "../uz/ucc.exe.uz"},
         {"Error: Cannot decompress ../uz/UCC.exe.uz: UCC.exe" + refusal,
          "Error: Cannot decompress ../uz/ucc.exe.uz: ucc.exe" + refusal}},
        {0, {"--help"}, {}},
        {0, {"--version"}, {}},
    };
    const std::string usage = usageText({game("System"), "UCC.exe", true});
    for (const auto& r : runs) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        fs::remove(game("System/UCC.log"));
        const auto result =
            test::waitForProgram(start(r.args, "Maps", output_.path()), output_.path());
        EXPECT_EQ(result.exitCode, r.status);
        std::string out, err;
        for (const std::string& line : r.log) {
            (line.starts_with("Log: ") ? out : err) += line + "\n";
        }
        if (r.log.empty()) {  // --help, --version
            EXPECT_FALSE(fs::exists(game("System/UCC.log")));
            out = r.args[0] == "--help" ? usage : versionText();
        } else {
            EXPECT_EQ(logEntries(), r.log);
        }
        EXPECT_EQ(result.out, out);
        EXPECT_EQ(result.err, err + (r.status == 2 ? usage : ""));
    }

    EXPECT_EQ(readFile(package + ".uz"), readFile(kVectors / "1234" / "package.bin.uz"));
    for (const std::string& name :
         Lines{"package.bin", odd, "-dash.unr", "DM-Test.unr", "ONE.BIN"}) {
        EXPECT_EQ(readFile(game("System/" + name)), readFile(kVectors / "package.bin")) << name;
    }
    EXPECT_EQ(readFile(game("System/Broken.unr")), "the package that was there");
    EXPECT_EQ(readFile(game("System/UCC.exe")), readFile(test::builtProgram("ucc")));
    EXPECT_EQ(test::namesIn(game("System")), (Names{"-dash.unr", "Broken.unr", "DM-Test.unr",
                                                    "ONE.BIN", "UCC.exe", odd, "package.bin"}));
    EXPECT_EQ(test::namesIn(game("Maps")), (Names{"-dash.unr", "-dash.unr.uz", odd, odd + ".uz"}));
}

// Outside a game's System folder (as the installed /usr/lib/varnox/ucc) the tool keeps no log
// and decompresses into the current folder; in a folder named System in any letter case, or
// started through a link there, it is the game's tool. -o names the folder in both cases. A
// file name's control characters reach the terminal as '?'.
TEST(UccPlace, OnlyAGamesToolKeepsALogAndDecompressesIntoItsOwnFolder) {
    const std::string name = "Dm-\x1b[31mRed.unr", shown = "Dm-?[31mRed.unr";
    const struct {
        std::string tool, link;  // the program file, and a link to it that is started
        bool gameTool;
    } places[] = {{"lib/varnox/ucc", "", false},
                  {"game/system/UCC.exe", "", true},
                  {"game/SYSTEM/ucc.exe", "", true},
                  {"lib/varnox/ucc", "game/System/UCC.exe", true}};
    for (const auto& p : places) {
        SCOPED_TRACE(p.tool + " " + p.link);
        TempDir root, output;
        const fs::path program = root / (p.link.empty() ? p.tool : p.link);
        fs::create_directories(root / "work/out");
        fs::create_directories(program.parent_path());
        fs::create_directories((root / p.tool).parent_path());
        fs::copy_file(test::builtProgram("ucc"), root / p.tool);
        if (!p.link.empty()) {
            fs::create_symlink(root / p.tool, program);
        }
        fs::copy_file(kVectors / "1234" / "package.bin.uz", root / "work" / (name + ".uz"));
        for (const std::string out : {"", "out"}) {
            const Lines args = out.empty() ? Lines{"decompress", name + ".uz"}
                                           : Lines{"decompress", "--output", out, name + ".uz"};
            const test::ProgramEnd end = test::waitForProgram(
                test::startProgram(program, args, root / "work", output.path()), output.path());
            EXPECT_EQ(end.exitCode, 0);
            EXPECT_EQ(end.out + end.err, "Log: Decompressed " + shown + ".uz -> " +
                                             (out.empty() ? "" : out + "/") + shown + "\n");
            const fs::path into = !out.empty() ? root / "work" / out
                                  : p.gameTool ? program.parent_path()
                                               : root / "work";
            EXPECT_EQ(readFile(into / name), readFile(kVectors / "package.bin"));
        }
        EXPECT_EQ(fs::exists(program.parent_path() / "UCC.log"), p.gameTool);
        EXPECT_EQ(test::namesIn(root / "lib/varnox"),
                  p.tool.starts_with("lib") ? Names{"ucc"} : Names{});
    }
}

// An interrupted run removes the temporary file it was writing and ends by the signal that
// interrupted it; the package that was there stays. The .uz stands for 1 GiB, so the run is
// caught while it writes.
TEST_F(Ucc, ASignalRemovesTheTemporaryFileAndEndsTheRunByThatSignal) {
    const uz::test::Bytes bomb =
        uz::encodeZeros(std::uint64_t{1} << 30, "Big.unr", uz::Signature::DoubleRle);
    writeFile(game("uz/Big.unr.uz"), std::string(bomb.begin(), bomb.end()));
    writeFile(game("System/Big.unr"), "the package that was there");
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t pid = start({"decompress", "uz/Big.unr.uz"});
        EXPECT_TRUE(test::eventually([&] { return test::namesIn(game("System")).size() == 4; }))
            << "no temporary file seen";
        ::kill(pid, sig);
        EXPECT_EQ(test::waitForProgram(pid).signal, sig);
        EXPECT_EQ(test::namesIn(game("System")), (Names{"Big.unr", "UCC.exe", "UCC.log"})) << sig;
        EXPECT_EQ(readFile(game("System/Big.unr")), "the package that was there");
    }
}

// Runs that overlap take turns with the log: each waits for the one before, starts the log
// afresh and writes whole lines, so the log always holds one whole run. The runs' lines
// differ in length, as they do for different packages.
TEST_F(Ucc, RunsAtTheSameTimeTakeTurnsWithTheLog) {
    std::vector<Lines> expected;
    for (int i = 0; i < 8; ++i) {
        const std::string name = std::string(1 + 3 * i, 'T') + ".utx";
        fs::copy_file(kVectors / "1234" / "twoblocks.bin.uz", game("uz/" + name + ".uz"));
        const std::string line = "Log: Decompressed uz/" + name + ".uz -> " + name;
        expected.push_back({line, line});
    }
    for (int round = 0; round < 6; ++round) {
        std::vector<pid_t> runs;
        for (const Lines& lines : expected) {
            const std::string source = lines[0].substr(18, lines[0].find(' ', 18) - 18);
            runs.push_back(start({"decompress", source, source}));
        }
        for (pid_t pid : runs) {
            EXPECT_EQ(test::waitForProgram(pid).exitCode, 0);
        }
        const Lines entries = logEntries();
        EXPECT_NE(std::find(expected.begin(), expected.end(), entries), expected.end())
            << "round " << round << ": " << readFile(game("System/UCC.log"));
    }
}

// A run that finds the log held past its wait writes its lines anyway, after those there. (A
// run that has the log starts it afresh: every run above.)
TEST(UccLog, ALateRunAddsItsLinesWithoutStartingTheLogAfresh) {
    TempDir folder;
    const fs::path file = folder / "UCC.log";
    writeFile(file, "Log: the run holding the log\r\n");
    const auto holder = platform::LockFile::acquire(file, std::chrono::steady_clock::now());
    ASSERT_NE(holder, nullptr);
    {
        UccLog late(file, std::chrono::milliseconds(50));
        EXPECT_FALSE(late.ownsLog());
        late.line("Log", "late");
    }
    EXPECT_EQ(readFile(file), "Log: the run holding the log\r\nLog: late\r\n");
}

// The program-level tests check the refusal's number and text, and the percentage figure in
// its place.
TEST(PackageNames, NamesDropTheUzEndingOrAreRefusedAndPercentsRoundHalfUp) {
    EXPECT_EQ(decompressedName("/a.uz/Mixed.Uz"), "Mixed");
    EXPECT_EQ(decompressedName("....uz"), "...");
    for (const char* path :
         {"Map.unr.uzz", "Map.unruz", "/game/uz/", "uz", "/game/.UZ", "/x/...uz"}) {
        EXPECT_THROW(decompressedName(path), Failure) << path;
    }
    // An empty package counts as one byte.
    const std::uint64_t cases[][3] = {
        {28128, 70000, 40}, {1, 200, 1},      {1, 201, 0}, {3, 2, 150}, {21, 0, 2100},
        {0, 0, 0},          {999, 1000, 100}, {1, 3, 33},  {2, 3, 67},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(percentOfPackage(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
    }
}

}  // namespace
}  // namespace varnox::ucc
