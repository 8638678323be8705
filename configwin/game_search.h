#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace varnox::configwin {

// The search for the game: drives c:, d: and e:, in that order, each looked at in one place,
// <drive root>/UnrealTournament, which counts when its System folder holds the game tool.

// The drives searched, in order. Every one is always tested; the last hit wins.
inline constexpr char kSearchedDrives[] = {'c', 'd', 'e'};

// The folder name looked for on each drive, and the tool inside its System folder. The two
// folder names are compared exactly; the tool's name without regard to letter case, as game
// folders copied from Windows carry UCC.exe.
inline constexpr const char* kGameFolderName = "UnrealTournament";
inline constexpr const char* kSystemFolderName = "System";
inline constexpr const char* kToolName = "ucc.exe";

// The game folder on one drive: <drive root>/UnrealTournament when its System folder holds
// the tool as an ordinary file. std::nullopt when it does not, and also when the drive is not
// in the table or is not ready (such a drive simply holds no game).
std::optional<std::string> gameFolderOn(const platform::DriveTable& drives, char letter);

struct GameFound {
    char letter;         // lower case
    std::string folder;  // the game folder on that drive
};

// The game folders on the searched drives, in search order.
std::vector<GameFound> searchForGame(const platform::DriveTable& drives);

}  // namespace varnox::configwin
