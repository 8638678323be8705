#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/failure.h"

// Finding files and folders without regard to letter case, as the game does: game folders
// copied from Windows keep names like "maps" or "SoldierSkins.UTX".
namespace varnox::game {

namespace fs = std::filesystem;

// The path, made lexically normal, with each folder on it in the letter case of a folder that
// is there where the name as given is not ("../maps" finds "Maps"). Parts missing in every
// case stay as given.
fs::path withFolderCase(const fs::path& path);

// `folder / name`, or a file of that name in another letter case when only such a one is
// there.
fs::path withFileCase(const fs::path& folder, std::string_view name);

// The ordinary, non-hidden files of folders, each folder listed once and looked up without
// regard to case. A missing folder holds no files; one that is there but cannot be read
// holds none either, and its failure is kept.
class FolderIndex {
public:
    // Sorted without regard to case.
    const std::vector<std::string>& files(const fs::path& folder);
    // The file `name` in any letter case, the exact one first.
    std::optional<std::string> find(const fs::path& folder, std::string_view name);
    // Failures met listing folders, once each, in the order met.
    struct FolderFailure {
        fs::path folder;
        Failure failure;
    };
    const std::vector<FolderFailure>& failures() const { return failures_; }

private:
    struct Listing {
        std::vector<std::string> files;
        std::map<std::string, std::vector<std::string>> byName;  // folded name -> files
    };
    const Listing& listing(const fs::path& folder);

    std::map<fs::path, Listing> listings_;
    std::vector<FolderFailure> failures_;
};

}  // namespace varnox::game
