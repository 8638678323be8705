// The parts of the configuration window that need no window: where the search looks for the
// game, and what a save writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "configwin/config_save.h"
#include "configwin/game_search.h"
#include "platform/drives.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using configwin::ConfigEntries;

// A drive table over temporary folders: c: and d: exist, e: does not (not ready).
class GameSearch : public ::testing::Test {
protected:
    GameSearch()
        : drives_({{'c', (dir_ / "c").string()},
                   {'d', (dir_ / "d").string()},
                   {'e', (dir_ / "e").string()}}) {
        fs::create_directories(dir_ / "c");
        fs::create_directories(dir_ / "d");
    }

    TempDir dir_;
    platform::DriveTable drives_;
};

TEST_F(GameSearch, TheToolCountsInAnyLetterCaseTheFoldersOnlyAsSpelled) {
    struct {
        const char* tool;  // path below the drive root
        bool found;
    } cases[] = {
        {"UnrealTournament/System/UCC.exe", true},
        {"UnrealTournament/System/ucc.exe", true},
        {"UnrealTournament/System/Ucc.Exe", true},
        {"UnrealTournament/System/UCC.exe.bak", false},
        {"UnrealTournament/System/UCC", false},
        {"UnrealTournament/UCC.exe", false},
        {"UnrealTournament/system/UCC.exe", false},
        {"unrealtournament/System/UCC.exe", false},
        {"Games/UnrealTournament/System/UCC.exe", false},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir_ / "d");
        writeFile(dir_ / "d" / c.tool, "tool");
        auto folder = configwin::gameFolderOn(drives_, 'd');
        EXPECT_EQ(folder.has_value(), c.found) << c.tool;
        if (folder) {
            EXPECT_EQ(*folder, (dir_ / "d" / "UnrealTournament").string());
        }
    }
}

TEST_F(GameSearch, AFolderNamedLikeTheToolIsNoTool) {
    fs::create_directories(dir_ / "c" / "UnrealTournament" / "System" / "UCC.exe");
    EXPECT_FALSE(configwin::gameFolderOn(drives_, 'c'));
}

TEST_F(GameSearch, DrivesThatAreMissingOrNotReadyHoldNoGame) {
    EXPECT_FALSE(configwin::gameFolderOn(drives_, 'e')) << "folder missing";
    EXPECT_FALSE(configwin::gameFolderOn(drives_, 'f')) << "not in the table";
    EXPECT_TRUE(configwin::searchForGame(drives_).empty());
}

TEST(GameSearchRoot, OnTheRootFileSystemTheFolderHasOneSlash) {
    TempDir dir;
    // A drive whose root is given with a trailing slash, as "/" is for c:.
    platform::DriveTable drives({{'c', dir.str() + "/"}});
    writeFile(dir / "UnrealTournament" / "System" / "ucc.exe", "tool");
    EXPECT_EQ(configwin::gameFolderOn(drives, 'c'), dir.str() + "/UnrealTournament");
}

TEST(SavePlan, ADriveRootAsGameFolderGivesADoubledSeparator) {
    auto root = configwin::planSave({"/", "c: [/]", "", "", "", ""});
    EXPECT_EQ(root.uzFolder, "//uz");
    EXPECT_EQ(root.markerFile, "//uz/a.txt");
    EXPECT_EQ(root.values.uzPath, "//uz");
}

TEST(SavePlan, TheFirstValueThatCannotBeStoredIsNamedByItsCaption) {
    struct {
        ConfigEntries entries;
        const char* caption;  // nullptr: everything can be stored
    } cases[] = {
        {{"/g", "c:", "192.0.2.1", "admin", "pw", "pw"}, nullptr},
        {{"/g\"x", "c:", "", "", "", ""}, "UT folder"},
        {{"/g\nx", "c:", "", "", "", ""}, "UT folder"},
        {{"/g", "c: [/m\"x]", "", "", "", ""}, "UT drive"},
        {{"/g", "c:", "192.0.2.1\"", "", "", ""}, "Redirect Server IP"},
        {{"/g", "c:", "", "ad\nmin", "", ""}, "User Name"},
        {{"/g", "c:", "", "admin\r", "", ""}, "User Name"},
        {{"/g", "c:", "", "", "p\"w", "p\"w"}, "Password"},
        // A password that is not confirmed is stored empty, so it cannot be in the way.
        {{"/g", "c:", "", "", "p\"w", "pw"}, nullptr},
        // In file order: the server address comes before the user name.
        {{"/g", "c:", "a\"", "b\"", "", ""}, "Redirect Server IP"},
    };
    for (const auto& c : cases) {
        auto caption = configwin::unstorableCaption(configwin::planSave(c.entries));
        if (c.caption == nullptr) {
            EXPECT_FALSE(caption) << *caption;
        } else {
            EXPECT_EQ(caption, std::string(c.caption));
        }
    }
}

}  // namespace
}  // namespace varnox::test
