#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
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

    bool operator==(const FileFacts&) const = default;
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

// Where a package's .uz in the uz folder stands. kOlder: made from another version of the
// package, or older than it.
enum class UzState { kMissing, kOlder, kUpToDate };

// A package that is there by name but cannot be read: a symbolic link that leads nowhere.
struct UnreadablePackage {
    std::string shownName;  // "Maps/DM-Deck16.unr"
    fs::path path;
};

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
    // Symbolic links named as packages that lead nowhere, in the same order.
    const std::vector<UnreadablePackage>& unreadable() const { return unreadable_; }
    // By name, in byte order.
    const std::map<std::string, FileFacts>& uzFiles() const { return uzFiles_; }
    // The uz folder's manifest as it was read.
    const class Manifest& manifest() const { return *manifest_; }

    // Where a .uz is recorded in the manifest as made from the package, it is up to date
    // when the package still has the size and modification time it had then, and older
    // otherwise, whichever way the time moved. A .uz without a record (made by ucc or the
    // window, or by a run whose manifest was lost) is up to date when it is at least as new
    // as its package.
    UzState stateOf(const Package& package) const;
    // Whether the manifest speaks for the package's .uz as it is now.
    bool recorded(const Package& package) const;

private:
    fs::path uzFolder_;
    std::vector<Package> packages_;
    std::vector<UnreadablePackage> unreadable_;
    std::map<std::string, FileFacts> uzFiles_;
    std::shared_ptr<const class Manifest> manifest_;
};

// The facts of a file (links followed); throws varnox::Failure naming it.
FileFacts factsOf(const fs::path& file);

// Whether the .uz file decodes to exactly the package's bytes; false also when either
// cannot be read or the .uz is damaged.
bool decodesTo(const fs::path& uzFile, const fs::path& package);

}  // namespace varnox::redirect
