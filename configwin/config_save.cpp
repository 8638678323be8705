#include "configwin/config_save.h"

namespace varnox::configwin {

SavePlan planSave(const ConfigEntries& entries) {
    SavePlan plan;
    plan.uzFolder = entries.gameFolder + "/uz";
    plan.markerFile = entries.gameFolder + "/uz/a.txt";
    plan.passwordsDiffer = entries.password != entries.passwordAgain;
    plan.values = {entries.gameFolder,
                   entries.gameDrive,
                   entries.serverIp,
                   entries.username,
                   plan.passwordsDiffer ? std::string() : entries.password,
                   plan.uzFolder};
    return plan;
}

std::optional<std::string> unstorableCaption(const SavePlan& plan) {
    std::optional<std::string> field = settings::unstorableField(plan.values);
    if (!field) {
        return std::nullopt;
    }
    // The uz folder is the game folder with "/uz" added, so it can only fail with it.
    if (*field == "UTpath" || *field == "UZPath") {
        return "UT folder";
    }
    if (*field == "UTDrive") {
        return "UT drive";
    }
    if (*field == "ServerIP") {
        return "Redirect Server IP";
    }
    if (*field == "Username") {
        return "User Name";
    }
    return "Password";
}

}  // namespace varnox::configwin
