#pragma once

#include <filesystem>
#include <functional>

#include "platform/drives.h"
#include "platform/message_boxes.h"
#include "platform/process.h"

namespace varnox::windows {

// The platform services the windows need, handed down from start-up. Tests build their own:
// a drive table over temporary folders, scripted message boxes, folders of their choice and a
// stand-in for ending the program.
struct Services {
    platform::DriveTable& drives;
    platform::MessageBoxes& boxes;
    platform::ProcessRunner& processes;
    // The folder that holds the tree pictures, and the settings file.
    std::filesystem::path programFolder;
    std::filesystem::path settingsFile;
    // Ends the program (Exit); running tools are left running.
    std::function<void()> endProgram;
};

}  // namespace varnox::windows
