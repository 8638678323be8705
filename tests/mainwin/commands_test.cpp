// Compress and Decompress with our ucc as the game tool, in temporary game folders; and the
// facts about a game folder and the tool's log they rely on.
#include <sys/stat.h>

#include <QProcess>
#include <filesystem>

#include "settings/game_layout.h"
#include "tests/mainwin/command_fixture.h"
#include "tests/support/permission_checks.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAlreadyDecompressed =
    "This file has already been decompressed and can not be moved.  You must move it "
    "yourself.  You can find the newly decompressed file in the UnrealTournament\\System "
    "directory.";

class Commands : public CommandTest {
protected:
    // A .uz file named `uzName` in `folder` that holds a package of `bytes`, made by the game
    // folder's tool outside the window.
    void makeUz(const fs::path& folder, const std::string& uzName, const std::string& bytes) {
        const fs::path package = folder / uzName.substr(0, uzName.size() - 3);
        writeFile(package, bytes);
        ASSERT_EQ(QProcess::execute(q(system() / "UCC.exe"), {"compress", q(package)}), 0);
        fs::rename(package.string() + ".uz", folder / uzName);
        fs::remove(package);
    }
};

TEST_F(Commands, CompressMovesTheUzIntoTheUzFolderAndShowsTheToolsResultLine) {
    startInGame();
    const auto package = maps() / "DM-Brindle.unr";
    const std::string bytes = packageBytes(60000);
    writeFile(package, bytes);
    press("cmdCompress", package);

    EXPECT_TRUE(boxes_.texts().empty());
    EXPECT_TRUE(fs::exists(uz() / "DM-Brindle.unr.uz"));
    EXPECT_FALSE(fs::exists(maps() / "DM-Brindle.unr.uz")) << "moved, not copied";
    EXPECT_EQ(readFile(package), bytes) << "the package stays as it was";
    ASSERT_GE(statuses_.size(), 2);
    EXPECT_EQ(statuses_.mid(0, 2), compressStart(package));
    const int passes = progressRun(2);
    EXPECT_GE(passes, 1);
    const QStringList rest = statuses_.mid(2 + passes);
    ASSERT_EQ(rest.size(), 2) << rest.join('|').toStdString();
    EXPECT_EQ(rest[0], "File compressed.");
    EXPECT_TRUE(resultLine(package).match(rest[1]).hasMatch()) << rest[1].toStdString();
    ASSERT_EQ(processes_.starts.size(), 1u);
    EXPECT_EQ(processes_.starts[0].program, (system() / "UCC.exe").string())
        << "ucc.exe is found whatever its letter case";
    EXPECT_EQ(processes_.starts[0].arguments,
              (std::vector<std::string>{"compress", package.string()}));
}

TEST_F(Commands, TheSecondCompressIsRefusedAndWithoutASelectionNothingStarts) {
    startInGame();
    press("cmdCompress");
    EXPECT_EQ(statuses_,
              QStringList({"You have selected: " + q(game_) + "/", "No file selected."}));
    press("cmdDecompress");
    EXPECT_EQ(statuses_, QStringList({q(game_) + "/", "No file selected."}));
    EXPECT_TRUE(processes_.starts.empty());

    const auto package = maps() / "DM-Twice.unr";
    writeFile(package, packageBytes(5000));
    press("cmdCompress", package);
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

TEST_F(Commands, DecompressRefusesNamesWithoutTheCompressedEnding) {
    startInGame();
    for (const char* name : {"DM-Plain.unr", "map.unr.Uz", "map.unr.uZ", "uz", "UZ"}) {
        writeFile(maps() / name, "x");
        select(maps() / name);
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
    const struct {
        const char* uzName;
        bool moveFiles;
        fs::path folder;
    } cases[] = {
        {"Sample.unr.uz", true, maps()},
        {"Sample.uax.uz", true, game_ / "Sounds"},
        {"Sample.umx.uz", true, game_ / "Music"},
        {"Sample.utx.uz", true, game_ / "Textures"},
        {"MAP.UNR.UZ", true, uz()},
        {"Other.unr.UZ", true, maps()},
        {"Readme.txt.uz", true, uz()},
        {"Boxed.unr.uz", false, uz()},
    };
    unsigned seed = 1;
    for (const auto& c : cases) {
        const std::string uzName = c.uzName;
        const std::string package = uzName.substr(0, uzName.size() - 3);
        const std::string bytes = packageBytes(4000 + seed, seed);
        ++seed;
        makeUz(downloads, uzName, bytes);
        setMoveFiles(c.moveFiles);
        press("cmdDecompress", downloads / c.uzName);

        EXPECT_TRUE(boxes_.texts().empty()) << uzName;
        EXPECT_EQ(readFile(c.folder / package), bytes) << uzName;
        EXPECT_FALSE(fs::exists(system() / package)) << uzName;
        EXPECT_TRUE(fs::exists(downloads / uzName)) << "the .uz file stays: " << uzName;
        EXPECT_EQ(statuses_, decompressed(downloads / uzName, package)) << uzName;
        EXPECT_EQ(processes_.starts.back().arguments,
                  (std::vector<std::string>{"decompress", (downloads / uzName).string()}));
    }
}

// The box unticked, the second run stops at the already-decompressed test; ticked, the move
// into Maps is refused. Either way the new package stays in System and the old one is kept.
TEST_F(Commands, DecompressingTwiceKeepsTheFirstPackageAndSaysWhere) {
    startInGame();
    const std::string bytes = packageBytes(7000);
    makeUz(uz(), "DM-Again.unr.uz", bytes);
    select(uz() / "DM-Again.unr.uz");
    const struct {
        fs::path folder;
        std::vector<QString> boxes;
        QString last;
    } cases[] = {
        {uz(), {}, kAlreadyDecompressed},
        {maps(),
         {"Error 58: File already exists: " + q(maps() / "DM-Again.unr")},
         "File decompressed, but not moved: it stays in the System folder."},
    };
    for (const auto& c : cases) {
        setMoveFiles(c.folder == maps());
        press("cmdDecompress");
        ASSERT_EQ(readFile(c.folder / "DM-Again.unr"), bytes);
        writeFile(c.folder / "DM-Again.unr", "the package as the user changed it");
        press("cmdDecompress");
        EXPECT_EQ(boxes_.texts(), c.boxes);
        EXPECT_EQ(statuses_, decompressed(uz() / "DM-Again.unr.uz", "DM-Again.unr") << c.last);
        EXPECT_EQ(readFile(c.folder / "DM-Again.unr"), "the package as the user changed it");
        EXPECT_EQ(readFile(system() / "DM-Again.unr"), bytes) << "the new package in System";
        fs::remove(system() / "DM-Again.unr");
        fs::remove(c.folder / "DM-Again.unr");
    }
}

TEST_F(Commands, PathsWithShellCharactersReachTheToolIntact) {
    startInGame();
    const fs::path cases[] = {
        dir_ / "c" / "My Maps" / "DM-Blank Space.unr",
        dir_ / "c" / "it's \"quoted\"" / "DM-It's \"Q\".unr",
        dir_ / "c" / "semi;colon" / "DM-A;touch canary;.unr",
        dir_ / "c" / "dollar $HOME" / "DM-$(touch canary)`touch canary`.unr",
        dir_ / "c" / "-rf" / "-DM-Dash.unr",
    };
    unsigned seed = 1;
    for (const auto& package : cases) {
        const std::string bytes = packageBytes(3000, seed++);
        writeFile(package, bytes);
        press("cmdCompress", package);
        EXPECT_TRUE(boxes_.texts().empty()) << package;
        EXPECT_TRUE(resultLine(package).match(window_->status()).hasMatch())
            << window_->status().toStdString();

        press("cmdDecompress", uz() / (package.filename().string() + ".uz"));
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
    const QString cannotStart = "Error 53: Cannot start " + q(system()) + "/ucc.exe";
    press("cmdCompress", maps() / "DM-A.unr");
    EXPECT_TRUE(onlyBox().startsWith(cannotStart)) << onlyBox().toStdString();
    EXPECT_EQ(statuses_, compressStart(maps() / "DM-A.unr") << "File not compressed.");

    press("cmdDecompress", maps() / "DM-B.unr.uz");
    EXPECT_TRUE(onlyBox().startsWith(cannotStart));
    EXPECT_EQ(statuses_,
              QStringList({q(maps() / "DM-B.unr.uz"), "decompressing file... please wait...",
                           "File not decompressed."}));
    EXPECT_TRUE(window_->isVisible()) << "the program goes on";
}

TEST_F(Commands, AMissingUzFolderIsReportedAndTheResultsStayWhereTheToolLeftThem) {
    startInGame({.withUzFolder = false});
    const QString notFound = "Error 76: Path not found: " + q(game_) + "/uz/";
    writeFile(maps() / "DM-A.unr", packageBytes(3000));
    press("cmdCompress", maps() / "DM-A.unr");
    EXPECT_EQ(onlyBox(), notFound);
    EXPECT_EQ(window_->status(),
              "File compressed, but not moved into the uz folder: it stays beside the package.");
    EXPECT_TRUE(fs::exists(maps() / "DM-A.unr.uz"));

    fs::rename(maps() / "DM-A.unr.uz", game_ / "DM-A.utx.uz");
    setMoveFiles(false);
    press("cmdDecompress", game_ / "DM-A.utx.uz");
    EXPECT_EQ(onlyBox(), notFound);
    EXPECT_EQ(window_->status(),
              "File decompressed, but not moved: it stays in the System folder.");
    EXPECT_TRUE(fs::exists(system() / "DM-A.utx"));
}

TEST_F(Commands, AMissingLogOrResultIsReportedWithAnHonestStatus) {
    startInGame();
    // A tool that works but leaves no log.
    fs::rename(system() / "UCC.exe", system() / "ucc-real");
    installScriptTool(
        "here=$(dirname \"$0\")\n\"$here/ucc-real\" \"$@\"\nrm -f \"$here/UCC.log\"\n");
    writeFile(maps() / "DM-A.unr", packageBytes(3000));
    press("cmdCompress", maps() / "DM-A.unr");
    EXPECT_EQ(onlyBox(), "Error 53: File not found: " + q(system()) + "/UCC.log");
    EXPECT_TRUE(fs::exists(uz() / "DM-A.unr.uz"));
    EXPECT_EQ(window_->status(), "File compressed.");

    // Decompress with our tool on a file that is no .uz: it refuses and says why.
    fs::rename(system() / "ucc-real", system() / "UCC.exe");
    writeFile(maps() / "Broken.unr.uz", "this is not a compressed package");
    press("cmdDecompress", maps() / "Broken.unr.uz");
    EXPECT_TRUE(onlyBox().startsWith("Error 53: The game tool left no package " +
                                     q(system() / "Broken.unr") + "; its log says: Error:"))
        << onlyBox().toStdString();
    EXPECT_EQ(window_->status(), "File not decompressed.");
    EXPECT_FALSE(fs::exists(system() / "Broken.unr"));

    // Compress with a tool that fails.
    installScriptTool(
        "printf 'Init: x\\r\\nError: cannot write %s.uz\\r\\n' \"$2\" > \"$(dirname "
        "\"$0\")/UCC.log\"\nexit 1\n");
    writeFile(maps() / "DM-B.unr", "map");
    press("cmdCompress", maps() / "DM-B.unr");
    const QString uzFile = q(maps() / "DM-B.unr.uz");
    EXPECT_EQ(onlyBox(), "Error 53: The game tool left no compressed file " + uzFile +
                             "; its log says: Error: cannot write " + uzFile);
    EXPECT_EQ(window_->status(), "File not compressed.");
    EXPECT_FALSE(statuses_.contains("File compressed."));
}

// The window-level tests route and name the common cases; these are the edges.
TEST(GameLayout, PackageNamesAndRoutingAtTheEdges) {
    EXPECT_EQ(settings::packageNameOf("fuzz.buz"), "fuzz.");
    EXPECT_EQ(settings::packageNameOf("xuz"), "");
    EXPECT_EQ(settings::packageNameOf("uz"), std::nullopt);
    EXPECT_EQ(settings::routeFolder("/g", "/u/", "unr"), "/g/Maps/");
    for (const char* name : {"Map.Unr", "Map.unrx", "Map.unr ", "nr", ""}) {
        EXPECT_EQ(settings::routeFolder("/g", "/u/", name), "/u/") << '"' << name << '"';
    }
}

TEST(ToolLog, ResultTextsAreTheResultItemsFromTheir17thCharacter) {
    struct {
        const char* name;
        std::string log;
        std::vector<std::string> texts;
    } cases[] = {
        {"every result in order, other events passed over",
         "Init: ucc\r\nLog: Compressed a -> a.uz (1%)\r\nWarning: big\r\n"
         "Log: Compressed b -> b.uz (2%)\r\nExit: done\r\n",
         {"a -> a.uz (1%)", "b -> b.uz (2%)"}},
        {"a comma ends the item; the rest is an item of its own and tested too",
         "Log: Compressed /g/a,Log: Compressed b.unr\r\n",
         {"/g/a", "b.unr"}},
        {"a blank in the 17th place is kept", "Log: Compressed  two blanks\r\n", {" two blanks"}},
        {"16 characters or fewer give the empty text",
         "Log: Compressed \r\nLog: Compr\n",
         {"", ""}},
        {"a quoted item keeps its comma", "  \"Log: Compressed a, b\"\r\n", {"a, b"}},
        {"the prefix is compared exactly",
         "log: Compressed x\r\nLog: compressed y\r\nLog:Compr z\nLog: Decompressed a.uz -> a\n",
         {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings::compressResultTexts(c.log), c.texts) << c.name;
    }
}

TEST(ToolLog, TheLastErrorLineIsFoundWhole) {
    EXPECT_EQ(
        settings::lastToolError("Init: x\r\nError: first, a\r\nLog: y\r\nError: second, b\r\n"),
        "Error: second, b");
    EXPECT_EQ(settings::lastToolError("Error: no line end"), "Error: no line end");
    EXPECT_EQ(
        settings::lastToolError("Log: Compressed a\r\n  Error: indented\r\nLog: Error: inside\r\n"),
        std::nullopt);
    EXPECT_EQ(settings::lastToolError(""), std::nullopt);
}

TEST(ToolLog, ReadingGivesTheBytesNothingForAFolderOrAFailureNamingIt) {
    TempDir dir;
    const auto log = dir / "UCC.log";
    const std::string bytes("Log: Compressed \xE9t\xE9.unr\r\n\0tail", 30);
    writeFile(log, bytes);
    EXPECT_EQ(settings::readToolLog(log.string()), bytes);
    std::filesystem::create_directories(dir / "folder.log");
    EXPECT_EQ(settings::readToolLog((dir / "folder.log").string()), std::nullopt);

    ::chmod(log.c_str(), 0);
    PermissionChecksEnforced enforced;
    if (!enforced.effective(dir.path())) {
        GTEST_SKIP() << "file permissions do not bind this process";
    }
    try {
        settings::readToolLog(log.string());
        FAIL() << "read an unreadable log";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), failure::kPermissionDenied);
        EXPECT_NE(failure.description().find(log.string()), std::string::npos);
    }
}

}  // namespace
}  // namespace varnox::test
