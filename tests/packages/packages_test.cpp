// Compress and Decompress with our ucc as the game tool, in temporary game folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <regex>
#include <thread>

#include "packages/package_commands.h"
#include "packages/tool_log.h"
#include "platform/process.h"
#include "settings/settings_file.h"
#include "tests/support/files.h"
#include "tests/support/game_folder.h"
#include "tests/support/temp_dir.h"

namespace varnox::packages {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using Texts = std::vector<std::string>;

// Starts the real tool and waits for it; keeps what it was asked to run.
class WaitingRunner : public ToolRunner {
public:
    void runAndWait(const fs::path& program, const std::vector<std::string>& arguments,
                    const std::optional<std::string>& progressText) override {
        runs.push_back({program.string()});
        runs.back().insert(runs.back().end(), arguments.begin(), arguments.end());
        const int pid = processes_.start(program, arguments);
        unsigned status = platform::ProcessRunner::kStillActive;
        while (processes_.exitStatus(pid, status) &&
               status == platform::ProcessRunner::kStillActive) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        progress = progressText;
    }
    std::vector<Texts> runs;
    std::optional<std::string> progress;

private:
    platform::SystemProcessRunner processes_;
};

class RecordingView : public CommandView {
public:
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    void refreshFileList() override { ++refreshes; }
    bool moveDecompressedFiles() override { return moveFiles; }
    Texts statuses;
    int refreshes = 0;
    bool moveFiles = true;
};

// A game folder with our ucc as System/UCC.exe, and the settings that name it.
class Commands : public ::testing::Test {
protected:
    Commands() {
        test::makeGameFolder(game_);
        settings_ = settings::parseSettings("\"UTpath:\",\"" + game_.string() + "\"");
    }
    Texts run(void (PackageCommands::*command)(const Selection&), const fs::path& file) {
        view_.statuses.clear();
        PackageCommands commands(settings_, runner_, view_);
        (commands.*command)({file.parent_path().string(), file.filename().string()});
        return view_.statuses;
    }
    Texts compress(const fs::path& file) { return run(&PackageCommands::compress, file); }
    Texts decompress(const fs::path& file) { return run(&PackageCommands::decompress, file); }
    // The failure a command ends in, "" when none.
    std::string failureOf(const std::function<void()>& command) {
        try {
            command();
        } catch (const Failure& failure) {
            return std::to_string(failure.number()) + " " + failure.description();
        }
        return "";
    }
    static Texts decompressed(const fs::path& uzFile, const std::string& package) {
        return {uzFile.string(), "decompressing file... please wait...", "File decompressed.",
                "the name of the decompressed file is " + package};
    }

    test::TempDir dir_;
    fs::path game_ = dir_ / "UnrealTournament";
    fs::path maps_ = game_ / "Maps", system_ = game_ / "System", uz_ = game_ / "uz";
    settings::Settings settings_;
    WaitingRunner runner_;
    RecordingView view_;
};

TEST_F(Commands, CompressMovesTheUzIntoTheUzFolderAndShowsTheToolsResultLine) {
    const fs::path package = maps_ / "DM-Brindle.unr";
    writeFile(package, std::string(60000, 'x') + "Brush");
    const Texts statuses = compress(package);
    ASSERT_EQ(statuses.size(), 4u);
    EXPECT_EQ(Texts(statuses.begin(), statuses.begin() + 3),
              (Texts{"You have selected: " + package.string(), "Compressing file... please wait...",
                     "File compressed."}));
    EXPECT_TRUE(std::regex_match(statuses[3], std::regex(".*DM-Brindle.unr -> .*uz \\(\\d+%\\)")))
        << statuses[3];
    EXPECT_EQ(runner_.runs.back(),
              (Texts{(system_ / "UCC.exe").string(), "compress", package.string()}));
    EXPECT_EQ(runner_.progress, "Compressing file. Please wait...");
    EXPECT_TRUE(fs::exists(uz_ / "DM-Brindle.unr.uz"));
    EXPECT_FALSE(fs::exists(maps_ / "DM-Brindle.unr.uz")) << "moved, not copied";
    EXPECT_EQ(view_.refreshes, 1);

    EXPECT_EQ(compress(package), (Texts{"You have selected: " + package.string(),
                                        "This file has already been compressed and can be found "
                                        "in your folder " +
                                            game_.string() + "/uz/.  Select another."}));
    EXPECT_EQ(compress(maps_ / ""),
              (Texts{"You have selected: " + maps_.string() + "/", "No file selected."}));
    EXPECT_EQ(runner_.runs.size(), 1u) << "nothing started the second and third time";
}

TEST_F(Commands, DecompressRoutesThePackageByItsExactEnding) {
    const fs::path downloads = dir_ / "Downloads";
    const struct {
        const char* uzName;
        bool moveFiles;
        fs::path folder;
    } cases[] = {
        {"Sample.unr.uz", true, maps_},
        {"Sample.uax.uz", true, game_ / "Sounds"},
        {"Sample.umx.uz", true, game_ / "Music"},
        {"Sample.utx.uz", true, game_ / "Textures"},
        {"MAP.UNR.UZ", true, uz_},
        {"Other.unr.UZ", true, maps_},
        {"Readme.txt.uz", true, uz_},
        {"Boxed.unr.uz", false, uz_},
    };
    for (const auto& c : cases) {
        const std::string uzName = c.uzName, package = uzName.substr(0, uzName.size() - 3);
        writeFile(downloads / package, package + " bytes");
        ASSERT_EQ(std::system(("'" + (system_ / "UCC.exe").string() + "' compress '" +
                               (downloads / package).string() + "' >/dev/null")
                                  .c_str()),
                  0);
        fs::rename(downloads / (package + ".uz"), downloads / uzName);
        fs::remove(downloads / package);
        view_.moveFiles = c.moveFiles;
        EXPECT_EQ(decompress(downloads / uzName), decompressed(downloads / uzName, package));
        EXPECT_EQ(readFile(c.folder / package), package + " bytes") << uzName;
        EXPECT_FALSE(fs::exists(system_ / package)) << uzName;
        EXPECT_TRUE(fs::exists(downloads / uzName)) << "the .uz file stays";
    }
    for (const char* name : {"DM-Plain.unr", "map.unr.Uz", "uz"}) {
        writeFile(downloads / name, "x");
        EXPECT_EQ(decompress(downloads / name),
                  (Texts{(downloads / name).string(), "Not a valid compressed file. "}));
    }
}

// Unticked, the second run stops at the already-decompressed test; ticked, the move into Maps
// is refused. Either way the new package stays in System and the old one is kept.
TEST_F(Commands, DecompressingTwiceKeepsTheFirstPackageAndSaysWhere) {
    writeFile(dir_ / "DM-Again.unr", "map");
    compress(dir_ / "DM-Again.unr");
    const fs::path uzFile = uz_ / "DM-Again.unr.uz";
    for (const fs::path& folder : {uz_, maps_}) {
        view_.moveFiles = folder == maps_;
        writeFile(folder / "DM-Again.unr", "changed by the user");
        Texts expected = decompressed(uzFile, "DM-Again.unr");
        if (folder == uz_) {
            expected.push_back(
                "This file has already been decompressed and can not be moved.  You must move "
                "it yourself.  You can find the newly decompressed file in the "
                "UnrealTournament\\System directory.");
            EXPECT_EQ(decompress(uzFile), expected);
        } else {
            EXPECT_EQ(failureOf([&] { decompress(uzFile); }),
                      "58 File already exists: " + (maps_ / "DM-Again.unr").string());
            EXPECT_EQ(view_.statuses.back(), PackageCommands::kNotMovedAfterDecompressText);
        }
        EXPECT_EQ(readFile(folder / "DM-Again.unr"), "changed by the user");
        EXPECT_EQ(readFile(system_ / "DM-Again.unr"), "map") << "the new package in System";
        fs::remove(system_ / "DM-Again.unr");
        fs::remove(folder / "DM-Again.unr");
    }
}

TEST_F(Commands, PathsWithShellCharactersReachTheToolIntact) {
    for (const fs::path& package :
         {dir_ / "My Maps" / "DM-Blank Space.unr", dir_ / "it's \"q\"" / "DM-It's \"Q\".unr",
          dir_ / "semi;colon" / "DM-A;touch canary;.unr",
          dir_ / "dollar $HOME" / "DM-$(touch canary)`touch canary`.unr",
          dir_ / "-rf" / "-DM-Dash.unr"}) {
        writeFile(package, package.string());
        compress(package);
        decompress(uz_ / (package.filename().string() + ".uz"));
        EXPECT_EQ(readFile(maps_ / package.filename()), package.string());
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
        EXPECT_NE(entry.path().filename(), "canary") << "a shell ran: " << entry.path();
    }
}

TEST_F(Commands, WhatDidNotHappenIsNeverClaimed) {
    auto scriptTool = [&](const std::string& body) {
        writeFile(system_ / "UCC.exe", "#!/bin/sh\n" + body);
        ::chmod((system_ / "UCC.exe").c_str(), 0755);
    };
    const fs::path package = maps_ / "DM-A.unr";
    writeFile(package, "map");
    writeFile(maps_ / "DM-B.unr.uz", "not a .uz");

    // The tool fails and says why in its log.
    const std::string toolError =
        "printf 'Init: x\\r\\nError: cannot write %s.uz\\r\\n' \"$2\" "
        "> \"$(dirname \"$0\")/UCC.log\"\n";
    scriptTool(toolError + "exit 1\n");
    EXPECT_EQ(failureOf([&] { compress(package); }),
              "53 The game tool left no compressed file " + package.string() +
                  ".uz; its log says: Error: cannot write " + package.string() + ".uz");
    EXPECT_EQ(view_.statuses.back(), "File not compressed.");

    // The tool works but leaves no log.
    fs::copy_file(test::builtProgram("ucc"), dir_ / "ucc-real");
    scriptTool("'" + (dir_ / "ucc-real").string() +
               "' \"$@\"\nrm -f \"$(dirname \"$0\")/UCC.log\"\n");
    EXPECT_EQ(failureOf([&] { compress(package); }),
              "53 File not found: " + (system_ / "UCC.log").string());
    EXPECT_EQ(view_.statuses.back(), "File compressed.");

    // No uz folder to move into.
    fs::remove_all(uz_);
    fs::remove(package.string() + ".uz");
    writeFile(maps_ / "DM-C.unr", "map");
    EXPECT_EQ(failureOf([&] { compress(maps_ / "DM-C.unr"); }),
              "76 Path not found: " + game_.string() + "/uz/");
    EXPECT_EQ(view_.statuses.back(), PackageCommands::kNotMovedAfterCompressText);
    EXPECT_TRUE(fs::exists(maps_ / "DM-C.unr.uz")) << "it stays beside the package";

    // No tool at all.
    fs::remove(system_ / "UCC.exe");
    EXPECT_EQ(failureOf([&] {
                  decompress(maps_ / "DM-B.unr.uz");
              }).rfind("53 Cannot start " + (system_ / "ucc.exe").string(), 0),
              0u);
    EXPECT_EQ(view_.statuses.back(), "File not decompressed.");
}

TEST(ToolLog, ResultTextsAreTheResultItemsFromTheir17thCharacter) {
    const struct {
        std::string log;
        Texts texts;
    } cases[] = {
        {"Init: ucc\r\nLog: Compressed a -> a.uz (1%)\r\nWarning: big\r\nLog: Compressed b\r\n",
         {"a -> a.uz (1%)", "b"}},
        {"Log: Compressed /g/a,Log: Compressed b.unr\r\n", {"/g/a", "b.unr"}},
        {"Log: Compressed  two blanks\r\nLog: Compressed \r\nLog: Compr\n",
         {" two blanks", "", ""}},
        {"  \"Log: Compressed a, b\"\r\n", {"a, b"}},
        {"log: Compressed x\r\nLog: compressed y\r\nLog:Compr z\nLog: Decompressed a.uz\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compressResultTexts(c.log), c.texts) << c.log;
    }
    EXPECT_EQ(lastToolError("Init: x\r\nError: first\r\nError: second, b\r\n  Error: no\r\n"),
              "Error: second, b");
    EXPECT_EQ(lastToolError("Log: Error: inside\r\n"), std::nullopt);
}

}  // namespace
}  // namespace varnox::packages
