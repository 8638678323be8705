#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game_config.h"
#include "game/stock_packages.h"

// The packages players need from a redirect server: those ServerPackages names, every package
// in the map folders of Paths, and everything they import, again and again; less the stock
// packages every player has.
namespace varnox::game {

namespace fs = std::filesystem;

struct NeededPackage {
    // Relative to the game folder ("Maps/DM-Brindle.unr"); the whole path for a file outside.
    std::string shownName;
    fs::path path;
    std::string fileName;         // "DM-Brindle.unr"
    bool serverPackages = false;  // ServerPackages names it
    // Shown names of the packages that import it, sorted without regard to case.
    std::vector<std::string> neededBy;
};

// A package needed but found nowhere the game looks.
struct MissingPackage {
    std::string name;  // as first met
    bool serverPackages = false;
    std::vector<std::string> neededBy;
};

// A package (or folder) that could not be read; the rest of the search went on without it.
struct NeedFailure {
    std::string shownName;
    int number = 0;
    std::string description;  // names the file or folder
};

struct NeededSet {
    std::vector<NeededPackage> packages;  // sorted by shown name without regard to case
    std::vector<MissingPackage> missing;  // sorted by name without regard to case
    std::vector<NeedFailure> failures;    // in the order met
    std::size_t stockSkipped = 0;         // stock packages met and left out, each counted once
};

struct NeedOptions {
    // Counts stock packages as any other (and follows their imports).
    bool includeStock = false;
};

// Searches the game folder. Packages are found by name through the configuration's Paths in
// order, then the standard folders, without regard to letter case; only their headers and
// tables are read. A package that cannot be read is a failure and still needed (its file is
// there); what it imports is then unknown. Import cycles end.
NeededSet findNeededPackages(const fs::path& gameFolder, const GameConfig& config,
                             const StockPackages& stock, NeedOptions options = {});

}  // namespace varnox::game
