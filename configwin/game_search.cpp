#include "configwin/game_search.h"

#include "platform/files.h"

namespace varnox::configwin {

std::optional<std::string> gameFolderOn(const platform::DriveTable& drives, char letter) {
    const platform::Drive* drive = drives.find(letter);
    if (drive == nullptr || !drives.isReady(letter)) {
        return std::nullopt;
    }
    std::string game = platform::joinPath(drive->root, kGameFolderName);
    std::string system = platform::joinPath(game, kSystemFolderName);
    if (!platform::ordinaryFileExists(platform::findFileIgnoringCase(system, kToolName))) {
        return std::nullopt;
    }
    return game;
}

std::vector<GameFound> searchForGame(const platform::DriveTable& drives) {
    std::vector<GameFound> found;
    for (char letter : kSearchedDrives) {
        if (auto folder = gameFolderOn(drives, letter)) {
            found.push_back({letter, std::move(*folder)});
        }
    }
    return found;
}

}  // namespace varnox::configwin
