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

// Starts the real tool through the real process runner and waits for it; counts the runs.
class WaitingRunner : public ToolRunner {
public:
    void runAndWait(const fs::path& program, const std::vector<std::string>& arguments,
                    const std::optional<std::string>&) override {
        ++runs;
        const int pid = processes_.start(program, arguments);
        while (processes_.status(pid).value_or(platform::ProcessStatus{}).running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    int runs = 0;

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

// Compress ends with the tool's result line (the texts before it: MainWindowTest). A package
// decompressed where one of its name is already stays in System, ticked (the move into Maps
// is refused) or not (the uz folder holds one).
TEST_F(Commands, CompressMovesTheUzIntoTheUzFolderAndNothingIsEverOverwritten) {
    const fs::path package = maps_ / "DM-Brindle.unr", uzFile = uz_ / "DM-Brindle.unr.uz";
    const std::string bytes = std::string(60000, 'x') + "Brush";
    writeFile(package, bytes);
    const Texts statuses = compress(package);
    ASSERT_EQ(statuses.size(), 4u);
    EXPECT_TRUE(std::regex_match(statuses[3], std::regex(".*DM-Brindle.unr -> .*uz \\(\\d+%\\)")))
        << statuses[3];
    EXPECT_FALSE(fs::exists(maps_ / "DM-Brindle.unr.uz")) << "moved, not copied";
    EXPECT_EQ(view_.refreshes, 1);
    EXPECT_EQ(compress(package), (Texts{"You have selected: " + package.string(),
                                        "This file has already been compressed and can be found "
                                        "in your folder " +
                                            game_.string() + "/uz/.  Select another."}));
    EXPECT_EQ(runner_.runs, 1) << "nothing started the second time";

    writeFile(package, "changed by the user");
    EXPECT_EQ(failureOf([&] { decompress(uzFile); }),
              "58 File already exists: " + package.string());
    EXPECT_EQ(view_.statuses.back(), PackageCommands::kNotMovedAfterDecompressText);
    EXPECT_EQ(readFile(package), "changed by the user");
    EXPECT_EQ(readFile(system_ / "DM-Brindle.unr"), bytes);
    fs::remove(system_ / "DM-Brindle.unr");
    writeFile(uz_ / "DM-Brindle.unr", "changed by the user");
    Texts expected = decompressed(uzFile, "DM-Brindle.unr");
    expected.push_back(
        "This file has already been decompressed and can not be moved.  You must move it "
        "yourself.  You can find the newly decompressed file in the UnrealTournament\\System "
        "directory.");
    EXPECT_EQ(decompress(uzFile), expected);
    EXPECT_EQ(readFile(uz_ / "DM-Brindle.unr"), "changed by the user");
    EXPECT_EQ(readFile(system_ / "DM-Brindle.unr"), bytes);
}

TEST_F(Commands, DecompressRoutesThePackageByItsExactEnding) {
    const fs::path downloads = dir_ / "Downloads";
    fs::create_directories(downloads);
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
        {"x.uz", true, uz_},
        {"Boxed.unr.uz", false, uz_},
    };
    for (const auto& c : cases) {
        const std::string uzName = c.uzName, package = uzName.substr(0, uzName.size() - 3);
        fs::copy_file(test::sourcePath("tests/data/uz-vectors/5678/package.bin.uz"),
                      downloads / uzName);
        view_.moveFiles = c.moveFiles;
        EXPECT_EQ(decompress(downloads / uzName), decompressed(downloads / uzName, package));
        EXPECT_EQ(readFile(c.folder / package),
                  readFile(test::sourcePath("tests/data/uz-vectors/package.bin")))
            << uzName;
        EXPECT_FALSE(fs::exists(system_ / package)) << uzName;
        EXPECT_TRUE(fs::exists(downloads / uzName)) << "the .uz file stays";
    }
    for (const char* name : {"DM-Plain.unr", "map.unr.Uz", "uz"}) {
        writeFile(downloads / name, "x");
        EXPECT_EQ(decompress(downloads / name),
                  (Texts{(downloads / name).string(), "Not a valid compressed file. "}));
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
    // The tool fails and says why in its log.
    const fs::path folder = maps_ / "DM-Folder.unr", broken = maps_ / "DM-B.unr.uz";
    fs::create_directories(folder);
    writeFile(broken, "not a .uz");
    std::string failure = failureOf([&] { compress(folder); });
    EXPECT_TRUE(failure.starts_with("53 The game tool left no compressed file " + folder.string() +
                                    ".uz; its log says: Error: Cannot read " + folder.string()))
        << failure;
    EXPECT_EQ(view_.statuses.back(), PackageCommands::kNotCompressedText);
    failure = failureOf([&] { decompress(broken); });
    EXPECT_TRUE(failure.starts_with("53 The game tool left no package " +
                                    (system_ / "DM-B.unr").string() +
                                    "; its log says: Error: Cannot decompress " + broken.string()))
        << failure;
    EXPECT_EQ(view_.statuses.back(), PackageCommands::kNotDecompressedText);

    // The tool works but leaves no log.
    fs::copy_file(test::builtProgram("ucc"), dir_ / "ucc-real");
    writeFile(system_ / "UCC.exe", "#!/bin/sh\n'" + (dir_ / "ucc-real").string() +
                                       "' \"$@\"\nrm -f \"$(dirname \"$0\")/UCC.log\"\n");
    ::chmod((system_ / "UCC.exe").c_str(), 0755);
    const fs::path package = maps_ / "DM-A.unr";
    writeFile(package, "map");
    EXPECT_EQ(failureOf([&] { compress(package); }),
              "53 File not found: " + (system_ / "UCC.log").string());
    EXPECT_EQ(view_.statuses.back(), "File compressed.");

    // No uz folder to move into.
    fs::remove_all(uz_);
    EXPECT_EQ(failureOf([&] { compress(package); }),
              "76 Path not found: " + game_.string() + "/uz/");
    EXPECT_EQ(view_.statuses.back(), PackageCommands::kNotMovedAfterCompressText);
    EXPECT_TRUE(fs::exists(package.string() + ".uz")) << "it stays beside the package";

    // No tool at all.
    fs::remove(system_ / "UCC.exe");
    failure = failureOf([&] { decompress(broken); });
    EXPECT_TRUE(failure.starts_with("53 Cannot start " + (system_ / "ucc.exe").string()))
        << failure;
    EXPECT_EQ(view_.statuses.back(), PackageCommands::kNotDecompressedText);
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
