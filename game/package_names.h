#pragma once

// Package names as the game compares them: ASCII letters without regard to case, every other
// byte exactly. A map imports "Soldierskins" where the file is SoldierSkins.utx.

#include <array>
#include <string>
#include <string_view>

namespace varnox::game {

// The name with A-Z lowered: the key under which names that the game takes as one meet.
std::string foldedName(std::string_view name);
bool sameName(std::string_view a, std::string_view b);
// Without regard to case, then by bytes, so that the order is total.
bool lessIgnoringCase(std::string_view a, std::string_view b);

// The file name less its last ending: "DM-Brindle.unr" -> "DM-Brindle".
std::string_view packageNameOfFile(std::string_view fileName);

// The game's standard folders of packages and the pattern of the files each holds, searched
// after the folders of the ini file's Paths.
struct StandardFolder {
    std::string_view folder;
    std::string_view pattern;
};
inline constexpr std::array<StandardFolder, 5> kStandardFolders{{
    {"Maps", "*.unr"},
    {"Textures", "*.utx"},
    {"Sounds", "*.uax"},
    {"Music", "*.umx"},
    {"System", "*.u"},
}};

}  // namespace varnox::game
