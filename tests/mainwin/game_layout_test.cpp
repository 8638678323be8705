#include "settings/game_layout.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/failure.h"
#include "tests/support/files.h"
#include "tests/support/permission_checks.h"
#include "tests/support/temp_dir.h"

namespace varnox::settings {
namespace {

TEST(GameLayout, FoldersAreTheGameFolderWithFixedPiecesAppended) {
    EXPECT_EQ(systemFolder("/games/UT"), "/games/UT/System");
    EXPECT_EQ(toolLogPath("/games/UT"), "/games/UT/System/UCC.log");
    EXPECT_EQ(uzFolder("/games/UT"), "/games/UT/uz/");
    EXPECT_EQ(toolLogPath(""), "/System/UCC.log") << "an empty game folder is not made up";
    EXPECT_EQ(uzFolder("/"), "//uz/") << "plain concatenation";
}

TEST(GameLayout, PackageNameIsTheCompressedNameLessThreeCharacters) {
    struct {
        const char* name;
        std::optional<std::string> package;
    } cases[] = {
        {"DM-Deck16.unr.uz", "DM-Deck16.unr"},
        {"MAP.UNR.UZ", "MAP.UNR"},
        {"fuzz.buz", "fuzz."},
        {"a.uz", "a"},
        {"xuz", ""},
        {"map.unr.Uz", std::nullopt},
        {"map.unr.uZ", std::nullopt},
        {"DM-Deck16.unr", std::nullopt},
        {"uz", std::nullopt},
        {"UZ", std::nullopt},
        {"z", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(packageNameOf(c.name), c.package) << c.name;
        EXPECT_EQ(hasCompressedEnding(c.name), std::string_view(c.name).ends_with("uz") ||
                                                   std::string_view(c.name).ends_with("UZ"))
            << c.name;
    }
}

TEST(GameLayout, PackagesAreRoutedByTheirExactEnding) {
    const std::string game = "/g/UT";
    const std::string uz = "/g/UT/uz/";
    struct {
        const char* package;
        std::string folder;
    } cases[] = {
        {"DM-Deck16.unr", game + "/Maps/"},
        {"unr", game + "/Maps/"},
        {"BrindleFX.uax", game + "/Sounds/"},
        {"Theme.umx", game + "/Music/"},
        {"Walls.utx", game + "/Textures/"},
        {"MAP.UNR", uz},
        {"Map.Unr", uz},
        {"Sounds.UAX", uz},
        {"Readme.txt", uz},
        {"Map.unrx", uz},
        {"Map.unr ", uz},
        {"nr", uz},
        {"", uz},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(routeFolder(game, uz, c.package), c.folder) << '"' << c.package << '"';
    }
}

TEST(ToolLog, ResultTextsAreTheResultItemsFromTheir17thCharacter) {
    struct {
        const char* name;
        std::string log;
        std::vector<std::string> texts;
    } cases[] = {
        {"our tool's result line",
         "Log: Compressed /g/M/DM-A.unr -> /g/M/DM-A.unr.uz (41%)\r\n",
         {"/g/M/DM-A.unr -> /g/M/DM-A.unr.uz (41%)"}},
        {"every result in order, other events passed over",
         "Init: ucc\r\nLog: Compressed a -> a.uz (1%)\r\nWarning: big\r\n"
         "Log: Compressed b -> b.uz (2%)\r\nExit: done\r\n",
         {"a -> a.uz (1%)", "b -> b.uz (2%)"}},
        {"a comma ends the item; the rest is an item of its own",
         "Log: Compressed /g/a,b.unr -> /g/a,b.unr.uz (9%)\r\n",
         {"/g/a"}},
        {"the rest after a comma is tested too", "x,Log: Compressed later\r\n", {"later"}},
        {"a blank in the 17th place is kept", "Log: Compressed  two blanks\r\n", {" two blanks"}},
        {"exactly 16 characters give the empty text", "Log: Compressed \r\n", {""}},
        {"fewer than 16 characters give the empty text", "Log: Compr\r\nLog: Compres\n", {"", ""}},
        {"blanks before an item are skipped", "   Log: Compressed x\r\n", {"x"}},
        {"a quoted item keeps its comma", "\"Log: Compressed a, b\"\r\n", {"a, b"}},
        {"the prefix is compared exactly",
         "log: Compressed x\r\nLog: compressed y\r\nLog:Compr z\n",
         {}},
        {"LF and CR line ends separate items too",
         "Log: Compressed a\nLog: Compressed b\r",
         {"a", "b"}},
        {"the decompress result is no compress result", "Log: Decompressed a.uz -> a\r\n", {}},
        {"an empty log", "", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compressResultTexts(c.log), c.texts) << c.name;
    }
}

TEST(ToolLog, TheLastErrorLineIsFoundWhole) {
    EXPECT_EQ(lastToolError("Init: x\r\nError: first, a\r\nLog: y\r\nError: second, b\r\n"),
              "Error: second, b");
    EXPECT_EQ(lastToolError("Error: no line end"), "Error: no line end");
    EXPECT_EQ(lastToolError("Log: Compressed a\r\n  Error: indented\r\nLog: Error: inside\r\n"),
              std::nullopt);
    EXPECT_EQ(lastToolError(""), std::nullopt);
}

TEST(ToolLog, ReadingGivesTheBytesOrNothingWhenAbsent) {
    test::TempDir dir;
    const auto log = dir / "UCC.log";
    const char raw[] = "Log: Compressed \xE9t\xE9.unr\r\n\0tail";
    const std::string bytes(raw, sizeof raw - 1);
    test::writeFile(log, bytes);
    EXPECT_EQ(readToolLog(log.string()), bytes);

    EXPECT_EQ(readToolLog((dir / "missing.log").string()), std::nullopt);
    EXPECT_EQ(readToolLog((dir / "UCC.log" / "below.log").string()), std::nullopt);
    std::filesystem::create_directories(dir / "folder.log");
    EXPECT_EQ(readToolLog((dir / "folder.log").string()), std::nullopt);
}

TEST(ToolLog, AnUnreadableLogFailsNamingIt) {
    test::TempDir dir;
    const auto log = dir / "UCC.log";
    test::writeFile(log, "Log: Compressed x\r\n");
    ::chmod(log.c_str(), 0);
    test::PermissionChecksEnforced enforced;
    if (!enforced.effective(dir.path())) {
        GTEST_SKIP() << "file permissions do not bind this process";
    }
    try {
        readToolLog(log.string());
        FAIL() << "read an unreadable log";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), failure::kPermissionDenied);
        EXPECT_NE(failure.description().find(log.string()), std::string::npos);
    }
}

}  // namespace
}  // namespace varnox::settings
