#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "game/game_config.h"
#include "game/game_folder.h"
#include "game/needed_set.h"
#include "game/stock_packages.h"

// The packages a run works on: those players need, as the game's configuration and the
// packages' own imports say, or every package by folder.
namespace varnox::redirect {

namespace fs = std::filesystem;

// A file's size and last change, in nanoseconds since the epoch.
struct FileFacts {
    std::uint64_t size = 0;
    std::int64_t modified = 0;

    bool operator==(const FileFacts&) const = default;
};

// One package of the game folder.
struct Package {
    // Where it is, relative to the game folder ("Maps", "System", "MoreMaps"), or the whole
    // path of a folder outside it that the ini's Paths name.
    std::string folder;
    std::string name;  // the file name, as its bytes
    fs::path path;
    FileFacts facts;
    // Why players need it, when the packages are the needed set: ServerPackages names it,
    // and the shown names of the packages that import it. A map has neither.
    bool serverPackages = false;
    std::vector<std::string> neededBy{};

    // The name of its compressed file: the package's name, letter case kept, and ".uz".
    std::string uzName() const { return name + ".uz"; }
    // "Maps/DM-Deck16.unr"
    std::string shownName() const { return folder.empty() ? name : folder + "/" + name; }
};

// A package that is there by name but cannot be read: a symbolic link that leads nowhere.
struct UnreadablePackage {
    std::string shownName;  // "Maps/DM-Deck16.unr"
    fs::path path;
};

// How a run picks its packages.
struct PackageRule {
    // Every package by folder, whatever the game's configuration says.
    bool all = false;
    // By folder: System's code packages (*.u) too.
    bool withSystem = false;
    // The ini file to read in place of the game's System/UnrealTournament.ini; it must exist.
    std::optional<fs::path> iniFile;
    // Lists of more stock packages (game::StockPackages::add), besides the built-in one.
    std::vector<fs::path> stockFiles;
    // Counts stock packages as any other.
    bool includeStock = false;
};

struct PackageList {
    // kNeeded: the needed set of the game's configuration (game::findNeededPackages).
    // kFolders: every package by folder (--all, or a game folder without an ini file): the
    // ordinary, non-hidden files of Maps ending in ".unr", Sounds ".uax", Music ".umx" and
    // Textures ".utx" (endings compared exactly, as the routing of decompressed packages
    // does), and with withSystem those of System ending in ".u".
    enum class Basis { kNeeded, kFolders };
    Basis basis = Basis::kFolders;
    fs::path iniFile;         // the ini file read, or the one looked for
    bool iniFound = false;    // whether it was there
    game::GameConfig config;  // what it says; the game's defaults without one
    // kNeeded: sorted by shown name without regard to case; kFolders: in folder order (Maps,
    // Sounds, Music, Textures, System), each sorted by name.
    std::vector<Package> packages;
    std::vector<UnreadablePackage> unreadable;  // in the same order
    // kNeeded: names needed but found nowhere, packages or folders that could not be read
    // (the set may then lack what they import), and stock packages left out.
    std::vector<game::MissingPackage> missing;
    std::vector<game::NeedFailure> failures;
    std::size_t stockSkipped = 0;
};

// The game's configuration for a run: the ini file the rule names, or the game folder's own.
// `iniFile` gets its path. Nothing when the game folder has none; fails, naming the file,
// when the rule names one that is not there or a file cannot be read.
std::optional<game::GameConfig> readConfig(const game::GameFolder& game, const PackageRule& rule,
                                           fs::path& iniFile);
// The stock packages for a run: the built-in list and the rule's files.
game::StockPackages stockOf(const PackageRule& rule);

// Throws varnox::Failure naming the folder or file when the game folder is missing, a folder
// of packages cannot be read (by folder), or the ini or a stock file cannot.
PackageList listPackages(const game::GameFolder& game, const PackageRule& rule);
// The needed set whatever the rule says of folders: without an ini file, from the game's
// defaults (no ServerPackages, the standard folders).
PackageList listNeededPackages(const game::GameFolder& game, const PackageRule& rule);

}  // namespace varnox::redirect
