#include "settings/settings_save.h"

#include "game/game_folder.h"
#include "platform/files.h"

namespace varnox::settings {

SavePlan planSave(const SaveRequest& request) {
    SavePlan plan;
    plan.passwordsDiffer = request.password != request.passwordAgain;
    plan.values = {request.gameFolder,
                   request.gameDrive,
                   request.server,
                   request.user,
                   plan.passwordsDiffer ? std::string() : request.password,
                   game::GameFolder(request.gameFolder).uzFolderSetting()};
    return plan;
}

void carryOut(const SavePlan& plan, const std::filesystem::path& settingsFile) {
    refuseUnstorable(settingsFile, plan.values);
    const game::GameFolder game(plan.values.gameFolder);
    if (!platform::ordinaryFileExists(game.markerFile())) {
        const std::filesystem::path uzFolder(game.uzFolderSetting());
        if (!platform::folderExists(uzFolder)) {
            platform::createFolder(uzFolder);
        }
        platform::writeFileAtomically(game.markerFile(),
                                      std::string(game::GameFolder::kMarkerLine) + "\r\n");
    }
    writeSettingsFile(settingsFile, plan.values);
}

}  // namespace varnox::settings
