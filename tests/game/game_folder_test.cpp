// The game-folder model: the tool in System and the search for the game on drives c:, d: and e:.
#include <gtest/gtest.h>

#include "game/game_folder.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::game {
namespace {

namespace fs = std::filesystem;
using test::writeFile;

// Routing by ending and the package names of .uz files: tests/packages.
TEST(GameFolder, FindsTheToolThatCanRunAndTheGameOnDrivesCDAndE) {
    test::TempDir dir;
    const fs::path system = dir / "System";
    auto tool = [&](const char* name, mode_t mode) {
        writeFile(system / name, "#!/bin/sh\n");
        fs::permissions(system / name, static_cast<fs::perms>(mode));
        return GameFolder(dir.str()).tool();
    };
    EXPECT_EQ(GameFolder(dir.str()).tool(), system / "ucc.exe") << "nothing there: the name";
    EXPECT_EQ(tool("UCC.exe", 0644), system / "UCC.exe") << "one that cannot run says why";
    EXPECT_EQ(tool("Ucc.Exe", 0755), system / "Ucc.Exe") << "any letter case, if it can run";
    EXPECT_EQ(tool("ucc.exe", 0644), system / "Ucc.Exe") << "ucc.exe from a package cannot run";
    EXPECT_EQ(tool("ucc.exe", 0755), system / "ucc.exe") << "the exact name first";
    EXPECT_EQ(packageNameOf("fuzz.buz"), "fuzz.") << "the name less three characters";

    const platform::DriveTable drives(
        {{'c', dir / "c"}, {'d', dir / "d"}, {'e', dir / "e"}, {'f', dir / "f"}});
    writeFile(dir / "c" / "UnrealTournament" / "System" / "UCC.exe", "tool");
    writeFile(dir / "d" / "UnrealTournament" / "System" / "readme.txt", "no tool");
    writeFile(dir / "d" / "unrealtournament" / "System" / "ucc.exe", "folder in other case");
    writeFile(dir / "e" / "UnrealTournament" / "System" / "ucc.exe", "tool");
    writeFile(dir / "f" / "UnrealTournament" / "System" / "ucc.exe", "not searched");
    std::string found;
    for (const GameFound& game : searchForGame(drives)) {
        found += std::string(1, game.letter) + "=" + game.folder + " ";
    }
    EXPECT_EQ(found, "c=" + (dir / "c/UnrealTournament").string() +
                         " e=" + (dir / "e/UnrealTournament").string() + " ");
}

}  // namespace
}  // namespace varnox::game
