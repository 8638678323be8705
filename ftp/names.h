#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// Checks on names and paths that come from the user or from a server.
namespace varnox::ftp {

// Whether text can travel inside one FTP command: no control byte (NUL, CR, LF or any
// other below 0x20), since CR and LF would end the command and start another.
bool isSendable(std::string_view text);

// folder / name for a name from a server (a listing entry, say) that is safe to use as a
// single local file name: not empty, not "." or "..", and without "/", "\", NUL, CR or LF.
// Nothing for any other name, which could lead a download outside the folder the user chose.
std::optional<std::filesystem::path> localTargetPath(const std::filesystem::path& folder,
                                                     std::string_view remoteName);

}  // namespace varnox::ftp
