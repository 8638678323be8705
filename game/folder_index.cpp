#include "game/folder_index.h"

#include <algorithm>

#include "game/package_names.h"
#include "platform/files.h"

namespace varnox::game {

namespace {

// The entry of `names` that is `name` in another letter case; nothing when none is.
std::optional<std::string> otherCase(const std::vector<std::string>& names, std::string_view name) {
    const auto it = std::find_if(names.begin(), names.end(),
                                 [&](const std::string& entry) { return sameName(entry, name); });
    return it == names.end() ? std::nullopt : std::optional(*it);
}

}  // namespace

fs::path withFolderCase(const fs::path& path) {
    fs::path result;
    for (const fs::path& part : path.lexically_normal()) {
        if (part.empty()) {
            continue;  // the end of "Maps/"
        }
        const fs::path next = result / part;
        const fs::path parent = result.empty() ? fs::path(".") : result;
        if (part == ".." || part == "." || part.has_root_path() || platform::folderExists(next) ||
            !platform::folderExists(parent)) {
            result = next;
            continue;
        }
        std::optional<std::string> found;
        try {
            found = otherCase(platform::listFolders(parent), part.string());
        } catch (const Failure&) {
            // An unreadable folder: the name stays as given, and using it says why.
        }
        result = found ? result / *found : next;
    }
    return result;
}

fs::path withFileCase(const fs::path& folder, std::string_view name) {
    const fs::path exact = folder / name;
    if (platform::ordinaryFileExists(exact) || !platform::folderExists(folder)) {
        return exact;
    }
    try {
        if (const auto found = otherCase(platform::listFiles(folder), name)) {
            return folder / *found;
        }
    } catch (const Failure&) {
        // As above: reading the exact name then reports the folder's failure.
    }
    return exact;
}

const FolderIndex::Listing& FolderIndex::listing(const fs::path& folder) {
    const auto [it, added] = listings_.try_emplace(folder);
    Listing& listing = it->second;
    if (!added || !platform::folderExists(folder)) {
        return listing;
    }
    try {
        listing.files = platform::listFiles(folder);
    } catch (const Failure& failure) {
        failures_.push_back({folder, failure});
    }
    for (const std::string& file : listing.files) {
        listing.byName[foldedName(file)].push_back(file);
    }
    return listing;
}

const std::vector<std::string>& FolderIndex::files(const fs::path& folder) {
    return listing(folder).files;
}

std::optional<std::string> FolderIndex::find(const fs::path& folder, std::string_view name) {
    const Listing& found = listing(folder);
    const auto it = found.byName.find(foldedName(name));
    if (it == found.byName.end()) {
        return std::nullopt;
    }
    const auto exact = std::find(it->second.begin(), it->second.end(), name);
    return exact != it->second.end() ? *exact : it->second.front();
}

}  // namespace varnox::game
