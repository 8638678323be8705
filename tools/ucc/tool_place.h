#pragma once

#include <filesystem>
#include <string>

namespace varnox::ucc {

// Where the running program file is: its folder (the tool's own folder, which holds the
// log and receives decompressed packages) and its file name. Taken from /proc/self/exe,
// so a copy installed as <game>/System/UCC.exe finds that System folder whatever the
// current folder. Raises varnox::Failure when the system does not tell.
struct ToolPlace {
    std::filesystem::path folder;
    std::string fileName;
};

ToolPlace runningToolPlace();

}  // namespace varnox::ucc
