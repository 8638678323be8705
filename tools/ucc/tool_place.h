#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varnox::ucc {

// Where the running program file is: its folder and its file name, and whether it stands in
// a game's System folder (a folder named System in any letter case). There it is the game's
// tool: its folder holds the log and receives decompressed packages, whatever the current
// folder. Anywhere else (an installed /usr/lib/varnox/ucc, say) it writes no log and
// decompresses into the current folder.
struct ToolPlace {
    std::filesystem::path folder;
    std::string fileName;
    bool gameTool = false;
};

// Whether `folder` is named System in any letter case.
bool isGameSystemFolder(const std::filesystem::path& folder);

// The running program's place, taken from /proc/self/exe. `invokedAs` is the program's
// argv[0]: a link in a game's System folder (System/UCC.exe pointing at the installed ucc),
// started by its path, makes that folder the tool's own. Raises varnox::Failure when the
// system does not tell.
ToolPlace runningToolPlace(std::string_view invokedAs);

}  // namespace varnox::ucc
