#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "game/game_folder.h"
#include "redirect/package_list.h"

// What a game folder holds for a redirect server: its packages, and the compressed files in
// its uz folder.
namespace varnox::redirect {

namespace fs = std::filesystem;

// Where a package's .uz in the uz folder stands. kOlder: made from another version of the
// package, or older than it.
enum class UzState { kMissing, kOlder, kUpToDate };

// A file the redirect server is to hold, as this folder has it: a .uz, or a package itself
// where the redirect holds packages (UseCompression=False). Its facts are unknown while it is
// still to be compressed.
struct LocalUz {
    std::string name;  // the name on the server, the one clients ask for
    fs::path path;
    std::optional<FileFacts> facts;
};

// The packages of a game folder, as the rule picks them (listPackages), and the .uz files of
// its uz folder, read once. The .uz files are the ordinary, non-hidden files of the uz folder
// whose names end in ".uz", the name a client asks a redirect server for.
class LocalFolder {
public:
    // Throws varnox::Failure naming the folder or file when the packages cannot be listed
    // (listPackages) or the uz folder cannot be read.
    LocalFolder(const game::GameFolder& game, const PackageRule& rule);
    // With the packages listed already.
    LocalFolder(const game::GameFolder& game, PackageList list);

    const fs::path& uzFolder() const { return uzFolder_; }
    // The packages and why, as listPackages gave them.
    const PackageList& list() const { return list_; }
    const std::vector<Package>& packages() const { return list_.packages; }
    // Symbolic links named as packages that lead nowhere.
    const std::vector<UnreadablePackage>& unreadable() const { return list_.unreadable; }
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

    // The file the redirect serves for the package: its .uz in the uz folder (no facts when
    // there is none), or the package itself where the redirect holds packages.
    LocalUz servedFile(const Package& package) const;
    // Every file the redirect is to hold, by name: where it holds packages, each package;
    // otherwise by folder every .uz of the uz folder, by need the .uz of each package that
    // has one, and the .uz of the `pending` packages, still to be made, with unknown facts.
    std::vector<LocalUz> servedFiles(const std::vector<Package>& pending) const;

private:
    fs::path uzFolder_;
    PackageList list_;
    std::map<std::string, FileFacts> uzFiles_;
    std::shared_ptr<const class Manifest> manifest_;
};

// The facts of a file (links followed); throws varnox::Failure naming it.
FileFacts factsOf(const fs::path& file);

// Whether the .uz file decodes to exactly the package's bytes; false also when either
// cannot be read or the .uz is damaged.
bool decodesTo(const fs::path& uzFile, const fs::path& package);

}  // namespace varnox::redirect
