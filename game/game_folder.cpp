#include "game/game_folder.h"

#include <algorithm>
#include <array>

#include "game/package_names.h"
#include "platform/failure.h"
#include "platform/files.h"

namespace varnox::game {

namespace {

constexpr char kSearchedDrives[] = {'c', 'd', 'e'};
constexpr const char* kGameFolderName = "UnrealTournament";

// The files of `folder` named `name` in any letter case, the exact name first.
std::vector<fs::path> namedIgnoringCase(const fs::path& folder, std::string_view name) {
    std::vector<std::string> names;
    try {
        names = platform::listFiles(folder);
    } catch (const Failure&) {
        return {};
    }
    std::vector<fs::path> found;
    for (const std::string& candidate : names) {
        if (sameName(candidate, name)) {
            found.push_back(folder / candidate);
        }
    }
    std::stable_partition(found.begin(), found.end(),
                          [&](const fs::path& p) { return p.filename() == name; });
    return found;
}

}  // namespace

fs::path GameFolder::systemFolder() const {
    return fs::path(folder_ + "/System");
}

fs::path GameFolder::tool() const {
    const std::vector<fs::path> found = namedIgnoringCase(systemFolder(), kToolName);
    for (const fs::path& candidate : found) {
        if (platform::executableFileExists(candidate)) {
            return candidate;
        }
    }
    return found.empty() ? systemFolder() / kToolName : found.front();
}

fs::path GameFolder::toolLog() const {
    return fs::path(folder_ + "/System/UCC.log");
}

std::string GameFolder::uzFolderText() const {
    return folder_ + "/uz/";
}

std::string GameFolder::uzFolderSetting() const {
    return folder_ + "/uz";
}

fs::path GameFolder::markerFile() const {
    return fs::path(folder_ + "/uz/a.txt");
}

fs::path GameFolder::typeFolderFor(std::string_view packageName,
                                   const std::string& uzFolder) const {
    if (packageName.size() >= 3) {
        const std::string_view ending = packageName.substr(packageName.size() - 3);
        for (const PackageFolder& kind : kPackageFolders) {
            if (ending == kind.ending) {
                return fs::path(folder_ + "/" + std::string(kind.folder) + "/");
            }
        }
    }
    return fs::path(uzFolder);
}

bool hasCompressedEnding(std::string_view name) {
    return name.ends_with("UZ") || name.ends_with("uz");
}

std::optional<std::string> packageNameOf(std::string_view compressedName) {
    if (!hasCompressedEnding(compressedName) || compressedName.size() < 3) {
        return std::nullopt;
    }
    return std::string(compressedName.substr(0, compressedName.size() - 3));
}

std::vector<GameFound> searchForGame(const platform::DriveTable& drives) {
    std::vector<GameFound> found;
    for (char letter : kSearchedDrives) {
        const platform::Drive* drive = drives.find(letter);
        if (drive == nullptr || !drives.isReady(letter)) {
            continue;
        }
        const std::string folder = (drive->root / kGameFolderName).string();
        // The search looks for the tool as an ordinary file in System, in any letter case.
        if (!namedIgnoringCase(GameFolder(folder).systemFolder(), GameFolder::kToolName).empty()) {
            found.push_back({letter, folder});
        }
    }
    return found;
}

}  // namespace varnox::game
