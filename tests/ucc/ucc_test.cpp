// The ucc program as the GUI runs it: installed as <game>/System/UCC.exe in a temporary
// game folder and started as a child process with an argument vector.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/files.h"
#include "tests/support/game_folder.h"
#include "tests/support/temp_dir.h"
#include "tests/ucc/run_program.h"

namespace varnox::ucc::test {
namespace {

namespace fs = std::filesystem;
using varnox::test::readFile;
using varnox::test::TempDir;
using varnox::test::writeFile;

fs::path vectors() {
    return varnox::test::sourcePath("tests/data/uz-vectors");
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

class Ucc : public ::testing::Test {
protected:
    void SetUp() override { varnox::test::makeGameFolder(game_.path()); }

    fs::path game(const std::string& relative) const { return game_ / relative; }
    fs::path tool() const { return game_ / "System" / "UCC.exe"; }

    ProgramResult run(const std::vector<std::string>& args) { return run(args, game_.path()); }
    ProgramResult run(const std::vector<std::string>& args, const fs::path& folder) {
        return runProgram(tool(), args, folder);
    }

    // The log's lines without their CR LF; fails the test when a line ends otherwise.
    std::vector<std::string> logLines() const {
        const std::string text = readFile(game("System/UCC.log"));
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "log ends without CR LF: " << text.substr(start);
                break;
            }
            const std::string line = text.substr(start, end - start);
            EXPECT_EQ(line.find('\n'), std::string::npos) << "bare LF in " << line;
            lines.push_back(line);
            start = end + 2;
        }
        return lines;
    }

    // The log lines between the header (open, Init) and the closing line.
    std::vector<std::string> logEntries() const {
        std::vector<std::string> lines = logLines();
        if (lines.size() < 3) {
            ADD_FAILURE() << "log too short";
            return {};
        }
        EXPECT_EQ(lines[0].rfind("Log: Log file open, ", 0), 0u) << lines[0];
        EXPECT_EQ(lines[1].rfind("Init: varnox ucc ", 0), 0u) << lines[1];
        EXPECT_EQ(lines.back().rfind("Log: Log file closed, ", 0), 0u) << lines.back();
        return std::vector<std::string>(lines.begin() + 2, lines.end() - 1);
    }

    std::vector<std::string> filesIn(const std::string& folder) const {
        std::vector<std::string> names;
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
    const ProgramResult result = run({"compress", source}, game("Textures"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(source + ".uz"), readFile(vectors() / "1234" / "package.bin.uz"));
    const std::string line = "Compressed " + source + " -> " + source + ".uz (40%)";
    EXPECT_EQ(logEntries(), std::vector<std::string>{"Log: " + line});
    EXPECT_EQ(result.out, "Log: " + line + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(filesIn("Textures"), std::vector<std::string>{});
}

TEST_F(Ucc, DecompressWritesThePackageIntoTheToolsOwnFolder) {
    // The name stored inside is package.bin; the file's own name decides.
    fs::copy_file(vectors() / "5678" / "package.bin.uz", game("uz/DM-Test.unr.uz"));
    const std::string source = game("uz/DM-Test.unr.uz").string();
    const ProgramResult result = run({"decompress", source}, game("Maps"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readFile(game("System/DM-Test.unr")), readFile(vectors() / "package.bin"));
    EXPECT_EQ(logEntries(),
              std::vector<std::string>{"Log: Decompressed " + source + " -> DM-Test.unr"});
    EXPECT_EQ(filesIn("System"), (std::vector<std::string>{"DM-Test.unr", "UCC.exe", "UCC.log"}));
    EXPECT_EQ(filesIn("Maps"), std::vector<std::string>{});
}

TEST_F(Ucc, HandlesSeveralPathsOneAfterTheOther) {
    writeFile(game("Maps/A.unr"), "first package, first package, first package");
    writeFile(game("Maps/C.unr"), std::string(5000, 'c'));
    const std::string a = game("Maps/A.unr").string();
    const std::string b = game("Maps/Missing.unr").string();
    const std::string c = game("Maps/C.unr").string();
    ProgramResult result = run({"compress", a, b, c});
    EXPECT_EQ(result.exitCode, 1);
    std::vector<std::string> entries = logEntries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].rfind("Log: Compressed " + a + " -> " + a + ".uz (", 0), 0u);
    EXPECT_EQ(entries[1].rfind("Warning: " + a + ".uz is larger than " + a, 0), 0u);
    EXPECT_EQ(entries[2], "Error: Cannot read " + b + ": No such file or directory (error 53)");
    EXPECT_EQ(entries[3].rfind("Log: Compressed " + c + " -> " + c + ".uz (", 0), 0u);
    EXPECT_NE(result.err.find("Error: Cannot read " + b), std::string::npos) << result.err;

    result = run({"decompress", a + ".uz", c + ".uz"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(logEntries(), (std::vector<std::string>{"Log: Decompressed " + a + ".uz -> A.unr",
                                                      "Log: Decompressed " + c + ".uz -> C.unr"}));
    EXPECT_EQ(readFile(game("System/A.unr")), readFile(a));
    EXPECT_EQ(readFile(game("System/C.unr")), readFile(c));
}

TEST_F(Ucc, TakesPathsWithBlanksShellCharactersAndALeadingDash) {
    const std::string odd = "it's a \"map\"; $HOME & `x` (1).unr";
    writeFile(game("Maps/" + odd), randomText(3000, 1) + std::string(3000, 'z'));
    writeFile(game("Maps/-dash.unr"), std::string(4000, 'd'));
    // The second path is relative, starting with '-', taken from the Maps folder.
    ProgramResult result =
        run({"compress", game("Maps/" + odd).string(), "-dash.unr"}, game("Maps"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(game("Maps/" + odd + ".uz")));
    EXPECT_TRUE(fs::exists(game("Maps/-dash.unr.uz")));
    const auto entries = logEntries();
    ASSERT_EQ(entries.size(), 2u);
    const auto percent = (200 * fs::file_size(game("Maps/-dash.unr.uz")) + 4000) / 8000;
    EXPECT_EQ(entries[1],
              "Log: Compressed -dash.unr -> -dash.unr.uz (" + std::to_string(percent) + "%)");

    result =
        run({"decompress", game("Maps/" + odd + ".uz").string(), "-dash.unr.uz"}, game("Maps"));
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
    const auto entries = logEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rfind("Error: Cannot decompress " + source + ": ", 0), 0u) << entries[0];
    EXPECT_NE(entries[0].find("(error "), std::string::npos);
    EXPECT_EQ(result.err, entries[0] + "\n");
    EXPECT_EQ(readFile(game("System/Broken.unr")), "the package that was there");
    EXPECT_EQ(filesIn("System"), (std::vector<std::string>{"Broken.unr", "UCC.exe", "UCC.log"}));
}

TEST_F(Ucc, WarnsWhenTheUzIsLargerThanThePackage) {
    writeFile(game("Sounds/Noise.uax"), randomText(20000, 7));
    writeFile(game("Sounds/Empty.uax"), "");
    const std::string noise = game("Sounds/Noise.uax").string();
    const std::string empty = game("Sounds/Empty.uax").string();
    const ProgramResult result = run({"compress", noise, empty});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const auto noiseSize = fs::file_size(noise + ".uz");
    const auto emptySize = fs::file_size(empty + ".uz");
    ASSERT_GT(noiseSize, 20000u);
    EXPECT_EQ(emptySize, 21u);
    const auto percent = (200 * noiseSize + 20000) / 40000;
    EXPECT_EQ(
        logEntries(),
        (std::vector<std::string>{
            "Log: Compressed " + noise + " -> " + noise + ".uz (" + std::to_string(percent) + "%)",
            "Warning: " + noise + ".uz is larger than " + noise + " (" + std::to_string(noiseSize) +
                " > 20000 bytes); old clients cannot download it",
            "Log: Compressed " + empty + " -> " + empty + ".uz (2100%)",
            "Warning: " + empty + ".uz is larger than " + empty +
                " (21 > 0 bytes); old clients cannot download it"}));
    EXPECT_NE(result.err.find("Warning: " + noise + ".uz is larger"), std::string::npos);
}

TEST_F(Ucc, RefusesNamesThatGiveNoPackageOrWouldReplaceItsOwnFiles) {
    fs::copy_file(vectors() / "1234" / "one.bin.uz", game("uz/.uz"));
    fs::copy_file(vectors() / "1234" / "one.bin.uz", game("uz/one.bin"));
    fs::copy_file(vectors() / "1234" / "one.bin.uz", game("uz/UCC.exe.uz"));
    fs::copy_file(vectors() / "1234" / "one.bin.uz", game("uz/UCC.log.uz"));
    fs::copy_file(vectors() / "1234" / "one.bin.uz", game("uz/ONE.BIN.UZ"));
    const ProgramResult result = run(
        {"decompress", "uz/.uz", "uz/one.bin", "uz/UCC.exe.uz", "uz/UCC.log.uz", "uz/ONE.BIN.UZ"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(
        logEntries(),
        (std::vector<std::string>{
            "Error: Cannot decompress uz/.uz: the file name leaves no package name (error 52)",
            "Error: Cannot decompress uz/one.bin: the file name does not end in .uz (error 52)",
            "Error: Cannot decompress uz/UCC.exe.uz: UCC.exe would replace the tool's own "
            "file (error 70)",
            "Error: Cannot decompress uz/UCC.log.uz: UCC.log would replace the tool's own "
            "file (error 70)",
            "Log: Decompressed uz/ONE.BIN.UZ -> ONE.BIN"}));
    EXPECT_EQ(readFile(game("System/UCC.exe")), readFile(varnox::test::builtProgram("ucc")));
}

TEST_F(Ucc, StartsAFreshLogOnEveryRun) {
    writeFile(game("Maps/A.unr"), std::string(10000, 'a'));
    EXPECT_EQ(run({"compress", game("Maps/A.unr").string()}).exitCode, 0);
    EXPECT_EQ(run({"COMPRESS", game("Maps/A.unr").string()}).exitCode, 0);
    EXPECT_EQ(logEntries().size(), 1u);
    EXPECT_EQ(logLines().size(), 4u);
}

TEST_F(Ucc, UsageErrorsExitWithTwo) {
    const struct {
        std::vector<std::string> args;
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
        EXPECT_EQ(logEntries(), std::vector<std::string>{c.logged});
    }
    const ProgramResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find(game("System").string()), std::string::npos) << help.out;
}

}  // namespace
}  // namespace varnox::ucc::test
