#pragma once

// The game folder and the facts about it that the windows and commands rely on. Paths are
// the game folder as stored followed by the piece shown:
//   "/System/"   the tool (ucc.exe, found without regard to letter case), its log UCC.log,
//                and the packages the tool decompresses
//   "/Maps/", "/Sounds/", "/Music/", "/Textures/"   where decompressed packages go by type
//   "/uz/"       compressed packages, with the marker file a.txt that Save writes
// The game folder is text as the settings file holds it; joining is plain concatenation,
// so a drive root "/" gives a doubled separator in the texts, as it always did.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drives.h"

namespace varnox::game {

namespace fs = std::filesystem;

// The game's folders of packages by type, and the ending (after the dot) of the packages
// each holds.
struct PackageFolder {
    std::string_view folder;
    std::string_view ending;
};
inline constexpr std::array<PackageFolder, 4> kPackageFolders{{
    {"Maps", "unr"},
    {"Sounds", "uax"},
    {"Music", "umx"},
    {"Textures", "utx"},
}};

class GameFolder {
public:
    // The tool's file name as the program asks for it; game folders copied from Windows
    // carry it as UCC.exe.
    static constexpr std::string_view kToolName = "ucc.exe";
    // The one line of the marker file.
    static constexpr std::string_view kMarkerLine = "Do NOT delete this file.";

    explicit GameFolder(std::string folder) : folder_(std::move(folder)) {}

    const std::string& text() const { return folder_; }

    fs::path systemFolder() const;
    // The tool to run: an executable ordinary file in System named ucc.exe, the exact name
    // first, then in any letter case; failing that a file of that name that cannot be run
    // (so that starting it says why), and failing that the exact name (starting it then
    // says it is missing).
    fs::path tool() const;
    fs::path toolLog() const;

    // The folder for compressed files as the commands name it ("<game>/uz/") and as Save
    // stores and the configuration window shows it ("<game>/uz").
    std::string uzFolderText() const;
    std::string uzFolderSetting() const;
    fs::path markerFile() const;

    // Where a decompressed package goes when it is moved by type: by the last three
    // characters of its name, compared exactly, "unr" to Maps, "uax" to Sounds, "umx" to
    // Music, "utx" to Textures; any other ending (MAP.UNR included) to `uzFolder`.
    fs::path typeFolderFor(std::string_view packageName, const std::string& uzFolder) const;

private:
    std::string folder_;
};

// True when a file name ends in "UZ" or "uz", letter case exactly (Uz and uZ do not count).
bool hasCompressedEnding(std::string_view name);

// The name of the package inside a compressed file: the name less its last three
// characters ("DM-Deck16.unr.uz" -> "DM-Deck16.unr"). Nothing for a name without the
// compressed ending, and nothing for a name too short to leave a package name ("uz").
std::optional<std::string> packageNameOf(std::string_view compressedName);

// The search for the game: drives c:, d: and e:, in that order, each looked at in one place,
// <drive root>/UnrealTournament, which counts when its System folder holds the tool. Every
// drive is tested; a drive that is missing or not ready holds no game.
struct GameFound {
    char letter;  // lower case
    std::string folder;
};
std::vector<GameFound> searchForGame(const platform::DriveTable& drives);

}  // namespace varnox::game
