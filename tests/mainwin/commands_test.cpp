// Compress and Decompress with our ucc as the game tool, in temporary game folders.
#include <QCheckBox>
#include <QProcess>
#include <filesystem>

#include "tests/mainwin/command_fixture.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAlreadyDecompressed =
    "This file has already been decompressed and can not be moved.  You must move it "
    "yourself.  You can find the newly decompressed file in the UnrealTournament\\System "
    "directory.";

class Commands : public CommandTest {
protected:
    // Compresses `package` beside itself with the game folder's tool, outside the window.
    void compressWithTool(const fs::path& package) {
        const int exitCode =
            QProcess::execute(q(system() / "UCC.exe"), {QStringLiteral("compress"), q(package)});
        ASSERT_EQ(exitCode, 0) << package;
        ASSERT_TRUE(fs::exists(package.string() + ".uz")) << package;
    }

    // A .uz file named `uzName` in `folder` that holds a package of `bytes`.
    void makeUz(const fs::path& folder, const std::string& uzName, const std::string& bytes) {
        const fs::path package = folder / uzName.substr(0, uzName.size() - 3);
        writeFile(package, bytes);
        compressWithTool(package);
        fs::rename(package.string() + ".uz", folder / uzName);
        fs::remove(package);
    }

    void setMoveFiles(bool checked) { control<QCheckBox>("chkMoveFiles")->setChecked(checked); }

    // The texts after the "please wait" text of Compress, the progress texts checked and
    // left out.
    QStringList afterProgress(int from) {
        QStringList rest;
        int passes = 0;
        for (int i = from; i < statuses_.size(); ++i) {
            if (statuses_[i].startsWith(kProgress) && rest.isEmpty()) {
                ++passes;
                EXPECT_EQ(statuses_[i], kProgress + QString((passes - 1) % 9 + 1, '.'));
            } else {
                rest << statuses_[i];
            }
        }
        EXPECT_GE(passes, 1) << "at least one pass";
        return rest;
    }

    QStringList decompressedTexts(const fs::path& uzFile, const std::string& package) {
        return {q(uzFile), "decompressing file... please wait...", "File decompressed.",
                "the name of the decompressed file is " + QString::fromStdString(package)};
    }
};

TEST_F(Commands, CompressMovesTheUzIntoTheUzFolderAndShowsTheToolsResultLine) {
    startInGame();
    const auto package = maps() / "DM-Brindle.unr";
    const std::string bytes = packageBytes(60000);
    writeFile(package, bytes);
    select(maps(), "DM-Brindle.unr");
    writeFile(maps() / "DM-Later.unr", "arrives after the click");
    press("cmdCompress");

    EXPECT_TRUE(boxes_.texts().empty());
    EXPECT_TRUE(fs::exists(uz() / "DM-Brindle.unr.uz"));
    EXPECT_FALSE(fs::exists(maps() / "DM-Brindle.unr.uz")) << "moved, not copied";
    EXPECT_EQ(readFile(package), bytes) << "the package stays as it was";

    ASSERT_GE(statuses_.size(), 2);
    EXPECT_EQ(statuses_[0], "You have selected: " + q(package));
    EXPECT_EQ(statuses_[1], "Compressing file... please wait...");
    const QStringList rest = afterProgress(2);
    ASSERT_EQ(rest.size(), 2) << rest.join('|').toStdString();
    EXPECT_EQ(rest[0], "File compressed.");
    EXPECT_TRUE(resultLine(package).match(rest[1]).hasMatch()) << rest[1].toStdString();
    EXPECT_EQ(window_->status(), rest[1]);

    ASSERT_EQ(processes_.starts.size(), 1u);
    EXPECT_EQ(processes_.starts[0].program, (system() / "UCC.exe").string())
        << "ucc.exe is found whatever its letter case";
    EXPECT_EQ(processes_.starts[0].arguments,
              (std::vector<std::string>{"compress", package.string()}));
    EXPECT_EQ(window_->stSelectedFile, package.string());
    EXPECT_EQ(window_->stCompressedName, "DM-Brindle.unr.uz");
    EXPECT_EQ(control<widgets::FileList>("File1")->count(), 2) << "the file list was refreshed";

    // Back again, into the uz folder with the box unticked: the same bytes.
    setMoveFiles(false);
    select(uz(), "DM-Brindle.unr.uz");
    press("cmdDecompress");
    EXPECT_TRUE(boxes_.texts().empty());
    EXPECT_EQ(readFile(uz() / "DM-Brindle.unr"), bytes);
}

TEST_F(Commands, TheSecondCompressIsRefusedAndStartsNothing) {
    startInGame();
    const auto package = maps() / "DM-Twice.unr";
    writeFile(package, packageBytes(5000));
    select(maps(), "DM-Twice.unr");
    press("cmdCompress");
    ASSERT_TRUE(fs::exists(uz() / "DM-Twice.unr.uz"));
    const std::string first = readFile(uz() / "DM-Twice.unr.uz");

    press("cmdCompress");
    EXPECT_EQ(statuses_, QStringList({"You have selected: " + q(package),
                                      "This file has already been compressed and can be found "
                                      "in your folder " +
                                          q(game_) + "/uz/.  Select another."}));
    EXPECT_EQ(processes_.starts.size(), 1u) << "nothing started the second time";
    EXPECT_EQ(readFile(uz() / "DM-Twice.unr.uz"), first);
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(Commands, WithoutASelectionNothingIsStarted) {
    startInGame();
    press("cmdCompress");
    EXPECT_EQ(statuses_,
              QStringList({"You have selected: " + q(game_) + "/", "No file selected."}));
    press("cmdDecompress");
    EXPECT_EQ(statuses_, QStringList({q(game_) + "/", "No file selected."}));
    EXPECT_TRUE(processes_.starts.empty());
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(Commands, DecompressRefusesNamesWithoutTheCompressedEnding) {
    startInGame();
    for (const char* name : {"DM-Plain.unr", "map.unr.Uz", "map.unr.uZ", "uz", "UZ"}) {
        writeFile(maps() / name, "x");
        select(maps(), name);
        button("cmdDecompress")->setEnabled(true);  // as before the first file click
        press("cmdDecompress");
        EXPECT_EQ(statuses_, QStringList({q(maps() / name), "Not a valid compressed file. "}))
            << name;
    }
    EXPECT_TRUE(processes_.starts.empty());
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(Commands, DecompressRoutesThePackageByItsExactEnding) {
    startInGame();
    const auto downloads = dir_ / "c" / "Downloads";
    struct {
        const char* uzName;
        bool moveFiles;
        fs::path folder;
        std::string destFolder;
    } cases[] = {
        {"Sample.unr.uz", true, maps(), game_.string() + "/Maps/"},
        {"Sample.uax.uz", true, game_ / "Sounds", game_.string() + "/Sounds/"},
        {"Sample.umx.uz", true, game_ / "Music", game_.string() + "/Music/"},
        {"Sample.utx.uz", true, game_ / "Textures", game_.string() + "/Textures/"},
        {"MAP.UNR.UZ", true, uz(), uzPath()},
        {"Sample.unr.UZ", true, maps(), game_.string() + "/Maps/"},
        {"Readme.txt.uz", true, uz(), uzPath()},
        {"Boxed.unr.uz", false, uz(), uzPath()},
        {"Boxed.utx.uz", false, uz(), uzPath()},
    };
    unsigned seed = 1;
    for (const auto& c : cases) {
        const std::string uzName = c.uzName;
        const std::string package = uzName.substr(0, uzName.size() - 3);
        const std::string bytes = packageBytes(4000 + seed, seed);
        ++seed;
        makeUz(downloads, uzName, bytes);
        if (fs::exists(c.folder / package)) {
            fs::remove(c.folder / package);  // Sample.unr twice: the second comes from .UZ
        }

        setMoveFiles(c.moveFiles);
        select(downloads, QString::fromStdString(uzName));
        press("cmdDecompress");

        EXPECT_TRUE(boxes_.texts().empty()) << uzName;
        ASSERT_TRUE(fs::exists(c.folder / package)) << uzName;
        EXPECT_EQ(readFile(c.folder / package), bytes) << uzName;
        EXPECT_FALSE(fs::exists(system() / package)) << uzName;
        EXPECT_TRUE(fs::exists(downloads / uzName)) << "the .uz file stays: " << uzName;
        EXPECT_EQ(statuses_, decompressedTexts(downloads / uzName, package)) << uzName;
        EXPECT_EQ(window_->stDecompressedName, package);
        EXPECT_EQ(window_->stDestFolder, c.destFolder) << uzName;
        ASSERT_FALSE(processes_.starts.empty());
        EXPECT_EQ(processes_.starts.back().arguments,
                  (std::vector<std::string>{"decompress", (downloads / uzName).string()}));
    }
}

TEST_F(Commands, DecompressingTwiceWithTheBoxUntickedStopsAtTheUzFolderTest) {
    startInGame();
    const std::string bytes = packageBytes(7000);
    makeUz(uz(), "DM-Again.unr.uz", bytes);
    setMoveFiles(false);
    select(uz(), "DM-Again.unr.uz");
    press("cmdDecompress");
    ASSERT_TRUE(fs::exists(uz() / "DM-Again.unr"));
    fs::last_write_time(uz() / "DM-Again.unr", fs::file_time_type{});

    press("cmdDecompress");
    QStringList expected = decompressedTexts(uz() / "DM-Again.unr.uz", "DM-Again.unr");
    expected << kAlreadyDecompressed;
    EXPECT_EQ(statuses_, expected);
    EXPECT_EQ(readFile(system() / "DM-Again.unr"), bytes) << "the new package stays in System";
    EXPECT_EQ(fs::last_write_time(uz() / "DM-Again.unr"), fs::file_time_type{})
        << "the first one is left alone";
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(Commands, DecompressingTwiceWithTheBoxTickedKeepsTheMapAndReportsTheRefusedMove) {
    startInGame();
    const std::string bytes = packageBytes(7000);
    makeUz(uz(), "DM-Again.unr.uz", bytes);
    select(uz(), "DM-Again.unr.uz");
    press("cmdDecompress");
    ASSERT_EQ(readFile(maps() / "DM-Again.unr"), bytes);
    writeFile(maps() / "DM-Again.unr", "the map as the user changed it");

    press("cmdDecompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "Error 58: File already exists: " + q(maps() / "DM-Again.unr"));
    EXPECT_EQ(readFile(maps() / "DM-Again.unr"), "the map as the user changed it");
    EXPECT_EQ(readFile(system() / "DM-Again.unr"), bytes) << "the new package stays in System";
    QStringList expected = decompressedTexts(uz() / "DM-Again.unr.uz", "DM-Again.unr");
    expected << "File decompressed, but not moved: it stays in the System folder.";
    EXPECT_EQ(statuses_, expected);
}

TEST_F(Commands, PathsWithShellCharactersReachTheToolIntact) {
    startInGame();
    const fs::path cases[] = {
        dir_ / "c" / "My Maps" / "DM-Blank Space.unr",
        dir_ / "c" / "it's \"quoted\"" / "DM-It's \"Q\".unr",
        dir_ / "c" / "semi;colon" / "DM-A;touch canary;.unr",
        dir_ / "c" / "dollar $HOME" / "DM-$(touch canary)`touch canary`.unr",
        dir_ / "c" / "-rf" / "-DM-Dash.unr",
        dir_ / "c" / "tab\there" / "--help.unr",
    };
    unsigned seed = 1;
    for (const auto& package : cases) {
        const std::string bytes = packageBytes(3000, seed++);
        writeFile(package, bytes);
        select(package.parent_path(), q(package.filename()));
        press("cmdCompress");
        const std::string uzName = package.filename().string() + ".uz";
        EXPECT_TRUE(boxes_.texts().empty()) << package;
        EXPECT_TRUE(fs::exists(uz() / uzName)) << package;
        EXPECT_TRUE(resultLine(package).match(window_->status()).hasMatch())
            << window_->status().toStdString();
        EXPECT_EQ(processes_.starts.back().arguments,
                  (std::vector<std::string>{"compress", package.string()}));

        select(uz(), q(uzName));
        press("cmdDecompress");
        EXPECT_TRUE(boxes_.texts().empty()) << package;
        EXPECT_EQ(readFile(maps() / package.filename()), bytes) << package;
    }
    for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
        EXPECT_NE(entry.path().filename(), "canary") << "a shell ran: " << entry.path();
    }
    EXPECT_FALSE(fs::exists(fs::current_path() / "canary"));
}

TEST_F(Commands, AMissingToolIsReportedAndNothingIsClaimed) {
    startInGame({.withTool = false});
    writeFile(maps() / "DM-A.unr", "map");
    writeFile(maps() / "DM-B.unr.uz", "not looked at");
    select(maps(), "DM-A.unr");
    press("cmdCompress");
    const QString tool = q(system()) + "/ucc.exe";
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_TRUE(boxes_.texts()[0].startsWith("Error 53: Cannot start " + tool))
        << boxes_.texts()[0].toStdString();
    EXPECT_EQ(statuses_,
              QStringList({"You have selected: " + q(maps() / "DM-A.unr"),
                           "Compressing file... please wait...", "File not compressed."}));

    select(maps(), "DM-B.unr.uz");
    press("cmdDecompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_TRUE(boxes_.texts()[0].startsWith("Error 53: Cannot start " + tool));
    EXPECT_EQ(statuses_,
              QStringList({q(maps() / "DM-B.unr.uz"), "decompressing file... please wait...",
                           "File not decompressed."}));
    EXPECT_TRUE(window_->isVisible()) << "the program goes on";
    EXPECT_EQ(endProgramCalls_, 0);
}

TEST_F(Commands, AMissingUzFolderIsReportedAndTheResultsStayWhereTheToolLeftThem) {
    startInGame({.withUzFolder = false});
    const auto package = maps() / "DM-A.unr";
    writeFile(package, packageBytes(3000));
    select(maps(), "DM-A.unr");
    press("cmdCompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "Error 76: Path not found: " + q(game_) + "/uz/");
    EXPECT_EQ(window_->status(),
              "File compressed, but not moved into the uz folder: it stays beside the package.");
    EXPECT_TRUE(fs::exists(maps() / "DM-A.unr.uz"));

    fs::rename(maps() / "DM-A.unr.uz", game_ / "DM-A.utx.uz");
    setMoveFiles(false);
    select(game_, "DM-A.utx.uz");
    press("cmdDecompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "Error 76: Path not found: " + q(game_) + "/uz/");
    EXPECT_EQ(window_->status(),
              "File decompressed, but not moved: it stays in the System folder.");
    EXPECT_TRUE(fs::exists(system() / "DM-A.utx"));
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(Commands, AMissingLogIsReportedAfterTheMove) {
    startInGame();
    fs::rename(system() / "UCC.exe", system() / "ucc-real");
    installScriptTool(
        "here=$(dirname \"$0\")\n\"$here/ucc-real\" \"$@\"\nrm -f \"$here/UCC.log\"\n");
    writeFile(maps() / "DM-A.unr", packageBytes(3000));
    select(maps(), "DM-A.unr");
    press("cmdCompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "Error 53: File not found: " + q(system()) + "/UCC.log");
    EXPECT_TRUE(fs::exists(uz() / "DM-A.unr.uz"));
    EXPECT_EQ(window_->status(), "File compressed.");
}

TEST_F(Commands, AToolThatLeavesNoResultIsReportedWithItsLogsError) {
    startInGame();
    // Decompress with our tool on a file that is no .uz: it refuses and says why.
    writeFile(maps() / "Broken.unr.uz", "this is not a compressed package");
    select(maps(), "Broken.unr.uz");
    press("cmdDecompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    const QString box = boxes_.texts()[0];
    EXPECT_TRUE(box.startsWith("Error 53: The game tool left no package " +
                               q(system() / "Broken.unr") + "; its log says: Error:"))
        << box.toStdString();
    EXPECT_EQ(statuses_,
              QStringList({q(maps() / "Broken.unr.uz"), "decompressing file... please wait...",
                           "File not decompressed."}));
    EXPECT_FALSE(fs::exists(system() / "Broken.unr"));

    // Compress with a tool that fails.
    installScriptTool(
        "printf 'Init: x\\r\\nError: cannot write %s.uz\\r\\n' \"$2\" > \"$(dirname "
        "\"$0\")/UCC.log\"\n"
        "exit 1\n");
    writeFile(maps() / "DM-A.unr", "map");
    select(maps(), "DM-A.unr");
    press("cmdCompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0],
              "Error 53: The game tool left no compressed file " + q(maps() / "DM-A.unr.uz") +
                  "; its log says: Error: cannot write " + q(maps() / "DM-A.unr.uz"));
    EXPECT_EQ(window_->status(), "File not compressed.");
    EXPECT_FALSE(statuses_.contains("File compressed."));
}

}  // namespace
}  // namespace varnox::test
