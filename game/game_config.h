#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/ini_file.h"

// What the game's ini file (System/UnrealTournament.ini) says about the packages players
// need and where they fetch them.
namespace varnox::game {

namespace fs = std::filesystem;

struct GameConfig {
    // [Engine.GameEngine] ServerPackages=: every line, in order, as written.
    std::vector<std::string> serverPackages;
    // [IpDrv.HTTPDownload] RedirectToURL=; nothing when the file has no such line.
    std::optional<std::string> redirectUrl;
    // [IpDrv.HTTPDownload] UseCompression=: whether the redirect holds .uz files. True
    // without the line; "True", "Yes", "On" and "1" in any letter case count as true, any
    // other value as false, as the game reads its switches.
    bool useCompression = true;
    // [Core.System] Paths=: every line, in order, as written ("../Maps/*.unr"); they are
    // relative to the System folder.
    std::vector<std::string> paths;
};

GameConfig gameConfigFrom(const IniFile& ini);

// The game's ini file in a game folder: System/UnrealTournament.ini, or a file of that name
// in another letter case when only such a one is there.
fs::path iniFileOf(const fs::path& gameFolder);

// Reads the ini file. Nothing when no ordinary file is there: the game folder then has no
// configuration to go by. Fails, naming the file, when it cannot be read.
std::optional<GameConfig> readGameConfig(const fs::path& iniFile);

// The name a client asks the redirect server for: the package's file name and ".uz", or the
// file name alone when the redirect holds the packages themselves.
std::string requestedName(const GameConfig& config, std::string_view fileName);

}  // namespace varnox::game
