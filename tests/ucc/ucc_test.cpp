// The ucc program as the GUI runs it: installed as <game>/System/UCC.exe in a temporary
// game folder and started as a child process with an argument vector; and its naming rule
// and percentage figure on their own.
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/failure.h"
#include "tests/support/files.h"
#include "tests/support/game_folder.h"
#include "tests/support/temp_dir.h"
#include "tests/uz/uz_test_support.h"
#include "tools/ucc/package_names.h"
#include "tools/ucc/ucc_log.h"

extern char** environ;

namespace varnox::ucc {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Lines = std::vector<std::string>;

struct ProgramResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Starts a program with an argument vector (no shell, so every argument reaches it as one
// argv element whatever it holds) in `folder`, its output going to the given files. The
// signals the tool handles start with their default action, whatever this process does.
pid_t startProgram(const fs::path& program, const Lines& args, const fs::path& folder,
                   const std::string& out = "/dev/null", const std::string& err = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&defaults, sig);
    }
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    Lines strings = {program.string()};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        throw std::runtime_error("cannot run " + program.string());
    }
    return pid;
}

// The wait status of a started program.
int waitFor(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) {
        throw std::runtime_error("cannot wait for process " + std::to_string(pid));
    }
    return status;
}

int exitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a program to its end and collects its output.
ProgramResult runProgram(const fs::path& program, const Lines& args, const fs::path& folder) {
    TempDir capture;
    const std::string out = (capture / "out").string();
    const std::string err = (capture / "err").string();
    const int status = waitFor(startProgram(program, args, folder, out, err));
    return {exitCode(status), readFile(out), readFile(err)};
}

fs::path vectors() {
    return test::sourcePath("tests/data/uz-vectors");
}

std::string randomText(std::size_t size, unsigned seed) {
    std::string text(size, '\0');
    unsigned state = seed;
    for (char& c : text) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return text;
}

bool startsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

class Ucc : public ::testing::Test {
protected:
    void SetUp() override { test::makeGameFolder(game_.path()); }

    fs::path game(const std::string& relative) const { return game_ / relative; }
    ProgramResult run(const Lines& args, const std::string& folder = "") {
        return runProgram(game("System/UCC.exe"), args, game(folder));
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
        if (lines.size() < 3) {
            ADD_FAILURE() << "log too short: " << text;
            return {};
        }
        EXPECT_TRUE(startsWith(lines[0], "Log: Log file open, ")) << lines[0];
        EXPECT_TRUE(startsWith(lines[1], "Init: varnox ucc ")) << lines[1];
        EXPECT_TRUE(startsWith(lines.back(), "Log: Log file closed, ")) << lines.back();
        return Lines(lines.begin() + 2, lines.end() - 1);
    }

    Lines filesIn(const std::string& folder) const {
        Lines names;
        for (const auto& e : fs::directory_iterator(game(folder))) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir game_;
};

TEST_F(Ucc, CompressWritesTheUzBesideTheSourceAndLogsTheResult) {
    fs::copy_file(vectors() / "package.bin", game("Maps/package.bin"));
    const std::string source = game("Maps/package.bin").string();
    const ProgramResult result = run({"compress", source}, "Textures");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(source + ".uz"), readFile(vectors() / "1234" / "package.bin.uz"));
    const std::string line = "Log: Compressed " + source + " -> " + source + ".uz (40%)";
    EXPECT_EQ(logEntries(), Lines{line});
    EXPECT_EQ(result.out, line + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(filesIn("Textures"), Lines{});
}

TEST_F(Ucc, DecompressWritesThePackageIntoTheToolsOwnFolder) {
    // The name stored inside is package.bin; the file's own name decides. A package of that
    // name already there is replaced.
    fs::copy_file(vectors() / "5678" / "package.bin.uz", game("uz/DM-Test.unr.uz"));
    writeFile(game("System/DM-Test.unr"), "old");
    const std::string source = game("uz/DM-Test.unr.uz").string();
    const ProgramResult result = run({"decompress", source}, "Maps");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(game("System/DM-Test.unr")), readFile(vectors() / "package.bin"));
    EXPECT_EQ(logEntries(), Lines{"Log: Decompressed " + source + " -> DM-Test.unr"});
    EXPECT_EQ(filesIn("System"), (Lines{"DM-Test.unr", "UCC.exe", "UCC.log"}));
    EXPECT_EQ(filesIn("Maps"), Lines{});
}

TEST_F(Ucc, HandlesSeveralPathsOneAfterTheOtherWithAFreshLogEachRun) {
    writeFile(game("Maps/A.unr"), "first package, first package, first package");
    writeFile(game("Maps/C.unr"), std::string(5000, 'c'));
    const std::string a = game("Maps/A.unr").string();
    const std::string b = game("Maps/Missing.unr").string();
    const std::string c = game("Maps/C.unr").string();
    ProgramResult result = run({"compress", a, b, c});
    EXPECT_EQ(result.exitCode, 1);
    Lines entries = logEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(startsWith(entries[0], "Log: Compressed " + a + " -> " + a + ".uz ("));
    EXPECT_TRUE(startsWith(entries[1], "Warning: " + a + ".uz is larger than " + a));
    EXPECT_EQ(entries[2], "Error: Cannot read " + b + ": No such file or directory (error 53)");
    EXPECT_TRUE(startsWith(entries[3], "Log: Compressed " + c + " -> " + c + ".uz ("));
    EXPECT_NE(result.err.find("Error: Cannot read " + b), std::string::npos) << result.err;

    result = run({"DECOMPRESS", a + ".uz", c + ".uz"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(logEntries(), (Lines{"Log: Decompressed " + a + ".uz -> A.unr",
                                   "Log: Decompressed " + c + ".uz -> C.unr"}));
    EXPECT_EQ(readFile(game("System/A.unr")), readFile(a));
    EXPECT_EQ(readFile(game("System/C.unr")), readFile(c));
}

TEST_F(Ucc, TakesPathsWithBlanksShellCharactersAndALeadingDash) {
    const std::string odd = "it's a \"map\"; $HOME & `x` (1).unr";
    writeFile(game("Maps/" + odd), randomText(3000, 1) + std::string(3000, 'z'));
    writeFile(game("Maps/-dash.unr"), std::string(4000, 'd'));
    // The second path is relative, starting with '-', taken from the Maps folder.
    ProgramResult result = run({"compress", game("Maps/" + odd).string(), "-dash.unr"}, "Maps");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(game("Maps/" + odd + ".uz")));
    const Lines entries = logEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(startsWith(entries[1], "Log: Compressed -dash.unr -> -dash.unr.uz ("))
        << entries[1];

    result = run({"decompress", game("Maps/" + odd + ".uz").string(), "-dash.unr.uz"}, "Maps");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(game("System/" + odd)), readFile(game("Maps/" + odd)));
    EXPECT_EQ(readFile(game("System/-dash.unr")), std::string(4000, 'd'));
}

TEST_F(Ucc, CorruptInputFailsAndLeavesTheExistingPackageAlone) {
    std::string broken = readFile(vectors() / "1234" / "twoblocks.bin.uz");
    broken[broken.size() / 2] ^= 0x10;
    broken.resize(broken.size() - 100);
    writeFile(game("uz/Broken.unr.uz"), broken);
    writeFile(game("System/Broken.unr"), "the package that was there");
    const std::string source = game("uz/Broken.unr.uz").string();

    const ProgramResult result = run({"decompress", source});
    EXPECT_EQ(result.exitCode, 1);
    const Lines entries = logEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(startsWith(entries[0], "Error: Cannot decompress " + source + ": ")) << entries[0];
    EXPECT_NE(entries[0].find("(error "), std::string::npos);
    EXPECT_EQ(result.err, entries[0] + "\n");
    EXPECT_EQ(readFile(game("System/Broken.unr")), "the package that was there");
    EXPECT_EQ(filesIn("System"), (Lines{"Broken.unr", "UCC.exe", "UCC.log"}));
}

TEST_F(Ucc, VerifyTellsFilesThatDoNotEncodeBackToThemselvesAndWritesNothing) {
    fs::copy_file(vectors() / "5678" / "package.bin.uz", game("uz/Good.unr.uz"));
    std::string padded = readFile(vectors() / "1234" / "empty.bin.uz");
    padded.back() ^= static_cast<char>(0x80);  // decodes all the same
    writeFile(game("uz/Padded.unr.uz"), padded);
    writeFile(game("uz/Broken.unr.uz"), "not a .uz file");
    const ProgramResult result =
        run({"verify", "uz/Good.unr.uz", "uz/Padded.unr.uz", "uz/Broken.unr.uz", "uz/None.unr.uz"});
    EXPECT_EQ(result.exitCode, 1);
    const Lines entries = logEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0], "Log: Verified uz/Good.unr.uz");
    EXPECT_EQ(entries[1],
              "Error: Cannot verify uz/Padded.unr.uz: encoding its package again gives other "
              "bytes: the bits after the last Huffman code are not zero (error 321)");
    EXPECT_TRUE(startsWith(entries[2], "Error: Cannot verify uz/Broken.unr.uz: unknown signature"))
        << entries[2];
    EXPECT_EQ(entries[3],
              "Error: Cannot read uz/None.unr.uz: No such file or directory (error 53)");
    EXPECT_EQ(result.out, entries[0] + "\n");
    EXPECT_EQ(filesIn("System"), (Lines{"UCC.exe", "UCC.log"}));

    EXPECT_EQ(run({"Verify", "uz/Good.unr.uz"}).exitCode, 0);
}

TEST_F(Ucc, WarnsWhenTheUzIsLargerThanThePackage) {
    writeFile(game("Sounds/Noise.uax"), randomText(20000, 7));
    writeFile(game("Sounds/Empty.uax"), "");
    const std::string noise = game("Sounds/Noise.uax").string();
    const std::string empty = game("Sounds/Empty.uax").string();
    const ProgramResult result = run({"compress", noise, empty});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string noiseSize = std::to_string(fs::file_size(noise + ".uz"));
    ASSERT_GT(fs::file_size(noise + ".uz"), 20000u);
    const Lines entries = logEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1], "Warning: " + noise + ".uz is larger than " + noise + " (" + noiseSize +
                              " > 20000 bytes); old clients cannot download it");
    EXPECT_EQ(entries[2], "Log: Compressed " + empty + " -> " + empty + ".uz (2100%)");
    EXPECT_EQ(entries[3], "Warning: " + empty + ".uz is larger than " + empty +
                              " (21 > 0 bytes); old clients cannot download it");
    EXPECT_NE(result.err.find("Warning: " + noise + ".uz is larger"), std::string::npos);
}

TEST_F(Ucc, RefusesNamesThatGiveNoPackageOrWouldReplaceItsOwnFiles) {
    // The tool's own names are refused in any letter case: the game folder's tool is found
    // without regard to case, so a package named ucc.exe beside UCC.exe would take its place.
    const Lines names = {"uz/.uz",        "uz/one.bin",    "uz/UCC.exe.uz", "uz/ucc.exe.uz",
                         "uz/Ucc.Log.uz", "uz/UCC.log.uz", "uz/ONE.BIN.UZ"};
    for (const std::string& name : names) {
        fs::copy_file(vectors() / "1234" / "one.bin.uz", game(name));
    }
    Lines args = {"decompress"};
    args.insert(args.end(), names.begin(), names.end());
    EXPECT_EQ(run(args).exitCode, 1);
    EXPECT_EQ(
        logEntries(),
        (Lines{"Error: Cannot decompress uz/.uz: the file name leaves no package name (error 52)",
               "Error: Cannot decompress uz/one.bin: the file name does not end in .uz (error 52)",
               "Error: Cannot decompress uz/UCC.exe.uz: UCC.exe would replace the tool's own "
               "file (error 70)",
               "Error: Cannot decompress uz/ucc.exe.uz: ucc.exe would replace the tool's own "
               "file (error 70)",
               "Error: Cannot decompress uz/Ucc.Log.uz: Ucc.Log would replace the tool's own "
               "file (error 70)",
               "Error: Cannot decompress uz/UCC.log.uz: UCC.log would replace the tool's own "
               "file (error 70)",
               "Log: Decompressed uz/ONE.BIN.UZ -> ONE.BIN"}));
    EXPECT_EQ(readFile(game("System/UCC.exe")), readFile(test::builtProgram("ucc")));
    EXPECT_EQ(filesIn("System"), (Lines{"ONE.BIN", "UCC.exe", "UCC.log"}));
}

TEST_F(Ucc, UsageErrorsExitWithTwo) {
    const struct {
        Lines args;
        std::string logged;
    } cases[] = {
        {{}, "Error: no command given (error 380)"},
        {{"squash", "a.unr"}, "Error: unknown command squash (error 380)"},
        {{"compress"}, "Error: no path given to compress (error 380)"},
        {{"decompress"}, "Error: no path given to decompress (error 380)"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = run(c.args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find("Usage: ucc compress PATH..."), std::string::npos) << result.err;
        EXPECT_EQ(logEntries(), Lines{c.logged});
    }
    const ProgramResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find(game("System").string()), std::string::npos) << help.out;
}

// An interrupted run removes the temporary file it was writing and ends by the signal that
// interrupted it; the package that was there stays. The .uz stands for 1 GiB, so the run is
// caught while it writes.
TEST_F(Ucc, ASignalRemovesTheTemporaryFileAndEndsTheRunByThatSignal) {
    const uz::test::Bytes bomb =
        uz::test::zerosUzFile(std::uint64_t{1} << 30, uz::Signature::DoubleRle, "Big.unr");
    writeFile(game("uz/Big.unr.uz"), std::string(bomb.begin(), bomb.end()));
    writeFile(game("System/Big.unr"), "the package that was there");
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        const pid_t pid =
            startProgram(game("System/UCC.exe"), {"decompress", "uz/Big.unr.uz"}, game(""));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (filesIn("System").size() < 4 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(filesIn("System").size(), 4u) << "no temporary file seen";
        ::kill(pid, sig);
        const int status = waitFor(pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
        EXPECT_EQ(filesIn("System"), (Lines{"Big.unr", "UCC.exe", "UCC.log"})) << sig;
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
        fs::copy_file(vectors() / "1234" / "twoblocks.bin.uz", game("uz/" + name + ".uz"));
        const std::string line = "Log: Decompressed uz/" + name + ".uz -> " + name;
        expected.push_back({line, line});
    }
    for (int round = 0; round < 6; ++round) {
        std::vector<pid_t> runs;
        for (const Lines& lines : expected) {
            const std::string source = lines[0].substr(18, lines[0].find(' ', 18) - 18);
            runs.push_back(
                startProgram(game("System/UCC.exe"), {"decompress", source, source}, game("")));
        }
        for (pid_t pid : runs) {
            EXPECT_EQ(exitCode(waitFor(pid)), 0);
        }
        const Lines entries = logEntries();
        EXPECT_NE(std::find(expected.begin(), expected.end(), entries), expected.end())
            << "round " << round << ": " << readFile(game("System/UCC.log"));
    }
}

// A run that finds the log held past its wait writes its lines anyway, after those there.
TEST(UccLog, ALateRunAddsItsLinesWithoutStartingTheLogAfresh) {
    TempDir folder;
    const fs::path file = folder / "UCC.log";
    writeFile(file, "Log: the run holding the log\r\n");
    const int holder = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    {
        UccLog late(file, std::chrono::milliseconds(50));
        EXPECT_FALSE(late.ownsLog());
        late.line("Log", "late");
    }
    EXPECT_EQ(readFile(file), "Log: the run holding the log\r\nLog: late\r\n");
    ::close(holder);
    {
        UccLog next(file);
        EXPECT_TRUE(next.ownsLog());
        next.line("Log", "next");
    }
    EXPECT_EQ(readFile(file), "Log: next\r\n");
}

// The program-level test above checks the refusal's number and text.
TEST(PackageNames, DecompressedNameDropsTheUzEndingOrIsRefused) {
    EXPECT_EQ(decompressedName("/odd/it's \"quoted\"; $x.utx.uz"), "it's \"quoted\"; $x.utx");
    EXPECT_EQ(decompressedName("/a.uz/Mixed.Uz"), "Mixed");
    EXPECT_EQ(decompressedName("....uz"), "...");
    for (const char* path :
         {"Map.unr.uzz", "Map.unruz", "/game/uz/", "uz", "/game/.UZ", "/x/...uz"}) {
        EXPECT_THROW(decompressedName(path), Failure) << path;
    }
}

TEST(PackageNames, PercentRoundsHalfUpAndCountsAnEmptyPackageAsOneByte) {
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
