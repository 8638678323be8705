#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "game/game_folder.h"

// What a game folder holds for a redirect server: its packages, and the compressed files in
// its uz folder.
namespace varnox::redirect {

namespace fs = std::filesystem;

// A file's size and last change, in nanoseconds since the epoch.
struct FileFacts {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

// One package of the game folder.
struct Package {
    std::string folder;  // "Maps", "Sounds", "Music", "Textures" or "System"
    std::string name;    // the file name, as its bytes
    fs::path path;
    FileFacts facts;

    // The name of its compressed file: the package's name, letter case kept, and ".uz".
    std::string uzName() const { return name + ".uz"; }
    // "Maps/DM-Deck16.unr"
    std::string shownName() const { return folder + "/" + name; }
};

// Where a package's .uz in the uz folder stands.
enum class UzState { kMissing, kOlder, kUpToDate };

// The packages of a game folder and the .uz files of its uz folder, read once.
//
// Packages are the ordinary, non-hidden files of Maps ending in ".unr", Sounds ".uax",
// Music ".umx" and Textures ".utx" (endings compared exactly, as the routing of decompressed
// packages does), and with `withSystem` those of System ending in ".u". A folder that is
// missing holds none. The .uz files are the ordinary, non-hidden files of the uz folder whose
// names end in ".uz", the name a client asks a redirect server for.
class LocalFolder {
public:
    // Throws varnox::Failure naming the folder when the game folder is missing or a folder
    // cannot be read.
    LocalFolder(const game::GameFolder& game, bool withSystem);

    const fs::path& uzFolder() const { return uzFolder_; }
    // In folder order (Maps, Sounds, Music, Textures, System), each sorted by name.
    const std::vector<Package>& packages() const { return packages_; }
    // By name, in byte order.
    const std::map<std::string, FileFacts>& uzFiles() const { return uzFiles_; }

    // A .uz older than its package counts as older; one as new or newer as up to date.
    UzState stateOf(const Package& package) const;

private:
    fs::path uzFolder_;
    std::vector<Package> packages_;
    std::map<std::string, FileFacts> uzFiles_;
};

}  // namespace varnox::redirect
