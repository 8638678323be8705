#pragma once

#include <filesystem>

namespace varnox::test {

// A game folder in a temporary place: System, Maps, Sounds, Music, Textures (and uz when
// asked), with the ucc built by this project installed as System/UCC.exe, the way a game
// folder copied from Windows carries it.
struct GameFolderOptions {
    bool withTool = true;
    bool withUzFolder = true;
};

void makeGameFolder(const std::filesystem::path& root, GameFolderOptions options = {});

}  // namespace varnox::test
