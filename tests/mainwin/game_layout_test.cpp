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

// The window-level tests route and name the common cases; these are the edges.
TEST(GameLayout, PackageNamesAndRoutingAtTheEdges) {
    EXPECT_EQ(packageNameOf("fuzz.buz"), "fuzz.");
    EXPECT_EQ(packageNameOf("xuz"), "");
    EXPECT_EQ(packageNameOf("uz"), std::nullopt);
    EXPECT_EQ(routeFolder("/g", "/u/", "unr"), "/g/Maps/");
    for (const char* name : {"Map.Unr", "Map.unrx", "Map.unr ", "nr", ""}) {
        EXPECT_EQ(routeFolder("/g", "/u/", name), "/u/") << '"' << name << '"';
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

TEST(ToolLog, ReadingGivesTheBytesNothingForAFolderOrAFailureNamingIt) {
    test::TempDir dir;
    const auto log = dir / "UCC.log";
    const std::string bytes("Log: Compressed \xE9t\xE9.unr\r\n\0tail", 30);
    test::writeFile(log, bytes);
    EXPECT_EQ(readToolLog(log.string()), bytes);
    std::filesystem::create_directories(dir / "folder.log");
    EXPECT_EQ(readToolLog((dir / "folder.log").string()), std::nullopt);

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
