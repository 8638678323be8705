#pragma once

#include <filesystem>
#include <string>

#include "settings/settings_file.h"

namespace varnox::settings {

// What the configuration window holds when Save is pressed.
struct SaveRequest {
    std::string gameFolder;  // the folder list's path
    std::string gameDrive;   // the drive list's entry
    std::string server;
    std::string user;
    std::string password;
    std::string passwordAgain;  // the verification box
};

// A save worked out before anything on disk is touched.
struct SavePlan {
    // The two password boxes differ (exactly, letter case included, no trimming); the
    // password is then stored empty.
    bool passwordsDiffer = false;
    SettingsToWrite values;
};

SavePlan planSave(const SaveRequest& request);

// Carries a save out: the game folder's uz folder and its marker file when the marker is
// missing (only what is missing is created), then the settings file, complete or not at all.
// Throws varnox::Failure naming what could not be made; the previous settings file then
// stays as it was.
void carryOut(const SavePlan& plan, const std::filesystem::path& settingsFile);

}  // namespace varnox::settings
