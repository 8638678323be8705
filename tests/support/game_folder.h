#pragma once

#include <filesystem>

namespace varnox::test {

// A game folder in a temporary place: System, Maps, Sounds, Music, Textures and uz, with
// the ucc built by this project installed as System/UCC.exe unless withTool is false, the
// way a game folder copied from Windows carries it.
void makeGameFolder(const std::filesystem::path& root, bool withTool = true);

}  // namespace varnox::test
