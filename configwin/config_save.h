#pragma once

#include <optional>
#include <string>

#include "settings/settings_file.h"

namespace varnox::configwin {

// What the configuration window holds when Save is pressed.
struct ConfigEntries {
    std::string gameFolder;  // the folder list's path
    std::string gameDrive;   // the drive list's entry
    std::string serverIp;
    std::string username;
    std::string password;
    std::string passwordAgain;  // the verification box
};

// A save worked out from the entries before anything on disk is touched.
struct SavePlan {
    std::string uzFolder;    // game folder + "/uz"
    std::string markerFile;  // game folder + "/uz/a.txt"
    // The two password boxes differ (exactly, letter case included, no trimming); the
    // password is then stored empty.
    bool passwordsDiffer = false;
    settings::SettingsToWrite values;
};

// The one line of the marker file a.txt that marks the uz folder as made by this program.
inline constexpr const char* kMarkerLine = "Do NOT delete this file.";

// The folders and the values a save of `entries` writes. Paths are joined by plain
// concatenation, so a game folder ending in "/" gives a doubled separator.
SavePlan planSave(const ConfigEntries& entries);

// The caption under which the window shows the first value of `plan` that the settings file
// cannot store (it holds a double quote, CR or LF): "UT folder", "UT drive",
// "Redirect Server IP", "User Name", "Password". std::nullopt when every value can be stored.
std::optional<std::string> unstorableCaption(const SavePlan& plan);

}  // namespace varnox::configwin
