#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/game_config.h"

namespace varnox::game {

namespace fs = std::filesystem;

// One place the game looks for packages: a folder and a pattern of file names ("*.unr").
struct SearchPath {
    fs::path folder;
    std::string pattern;

    // Whether it holds maps: its pattern ends in ".unr", in any letter case.
    bool holdsMaps() const;
    // The file the package `name` would be here: the pattern with its '*' replaced by the
    // name. Nothing for a pattern without exactly one '*'.
    std::optional<std::string> fileNameFor(std::string_view name) const;
    // Whether `fileName` fits the pattern ('*' any run of bytes, '?' any one byte), without
    // regard to case.
    bool matches(std::string_view fileName) const;

    bool operator==(const SearchPath&) const = default;
};

// A Paths line ("../Maps/*.unr"; backslashes count as separators) resolved against the
// System folder, with folders found without regard to case.
SearchPath searchPathOf(std::string_view line, const fs::path& systemFolder);

// Where the game looks, in order: the Paths of the configuration, then the standard folders
// (Maps, Textures, Sounds, Music, System) that the Paths did not name already.
std::vector<SearchPath> searchPathsOf(const GameConfig& config, const fs::path& gameFolder);

}  // namespace varnox::game
