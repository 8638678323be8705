#pragma once

#include <functional>
#include <string>

#include "platform/drives.h"
#include "platform/message_boxes.h"
#include "platform/process.h"

namespace varnox::platform {

// The platform services a window needs, handed down from start-up. Tests build their own:
// a drive table over temporary folders, scripted message boxes, a program folder of their
// choice and a stand-in for ending the program.
struct Services {
    DriveTable& drives;
    MessageBoxes& boxes;
    ProcessRunner& processes;
    std::string programFolder;
    // Ends the whole program at once (Exit); running tools are left running.
    std::function<void()> endProgram;
};

}  // namespace varnox::platform
