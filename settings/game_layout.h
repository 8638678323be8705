#pragma once

// Facts about a game folder and its command-line tool that the compress and decompress
// commands rely on. Plain text work on paths and the tool's log; nothing here starts the
// tool or moves files.
//
// Game folder layout (paths are the game folder followed by the piece shown):
//   "/System/"   the tool (ucc.exe, found without regard to letter case), its log UCC.log,
//                and the packages the tool decompresses
//   "/Maps/", "/Sounds/", "/Music/", "/Textures/"   type folders for decompressed packages
//   "/uz/"       compressed packages (the settings record's gstUZPath)

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnox::settings {

// The tool's file name as the program asks for it; game folders copied from Windows carry
// it as UCC.exe.
inline constexpr std::string_view kToolName = "ucc.exe";

// The System folder of a game folder, without a trailing "/": gameFolder + "/System".
std::string systemFolder(const std::string& gameFolder);

// The tool's log: gameFolder + "/System/UCC.log".
std::string toolLogPath(const std::string& gameFolder);

// The folder for compressed packages as the commands move into it: gameFolder + "/uz/".
std::string uzFolder(const std::string& gameFolder);

// True when a file name ends in "UZ" or "uz", letter case exactly (Uz and uZ do not count).
bool hasCompressedEnding(std::string_view name);

// The name of the package inside a compressed file: the name less its last three characters
// ("DM-Deck16.unr.uz" -> "DM-Deck16.unr"). Nothing for a name without the compressed ending,
// and nothing for a name too short to leave a package name ("uz").
std::optional<std::string> packageNameOf(std::string_view compressedName);

// The folder a decompressed package is routed to by the last three characters of its name,
// compared exactly: "unr" -> gameFolder + "/Maps/", "uax" -> "/Sounds/", "umx" -> "/Music/",
// "utx" -> "/Textures/"; any other ending (MAP.UNR included) -> uzPath.
std::string routeFolder(const std::string& gameFolder, const std::string& uzPath,
                        std::string_view packageName);

// The result texts of a compress run, from the tool's log read as delimited items
// (item_reader.h): for every item whose first ten characters are exactly "Log: Compr", the
// item from its 17th character on; an item of 16 characters or fewer gives the empty text.
// In log order, so the last one is the one left on show.
std::vector<std::string> compressResultTexts(std::string_view logText);

// The last line of the log that starts with "Error:", without its line end.
std::optional<std::string> lastToolError(std::string_view logText);

// The content of the tool's log `file`, byte for byte; nothing when no ordinary file is
// there. Throws varnox::Failure naming the file when it is there but cannot be read.
std::optional<std::string> readToolLog(const std::string& file);

}  // namespace varnox::settings
