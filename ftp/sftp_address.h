#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Server names of SFTP servers as users type them: "sftp://[user@]host[:port][/path]".
namespace varnox::ftp {

constexpr std::uint16_t kDefaultSshPort = 22;

struct SftpAddress {
    std::string user;  // empty when the name gives none
    std::string host;  // a name, an IPv4 address or an IPv6 address in brackets
    std::uint16_t port = kDefaultSshPort;
    // The folder the name points into: empty for the login folder, an absolute path, or a
    // path after "~" ("~" itself, "~/uz") taken from the login folder.
    std::string folder;

    bool operator==(const SftpAddress&) const = default;
};

// Whether a server name asks for SFTP: it starts with "sftp://", in any letter case.
bool isSftpAddress(std::string_view text);

// Reads an SFTP server name. The user is everything before the last "@" of the part before
// the path; the path is taken as written (no %XX), a "/" alone naming the root folder and
// "/~" or "/~/..." the login folder. On failure returns nothing and sets error as
// parseEndpoint() does (kInvalidParameter, kUnrecognizedScheme, kNameNotResolved).
std::optional<SftpAddress> parseSftpAddress(std::string_view text, std::uint32_t& error);

// A full path as the path of an sftp:// URL: each name percent-encoded, "/" between them,
// and a "/" at the end of a folder, which libcurl then lists.
std::string sftpUrlPath(std::string_view path, bool folder);
// A path as one argument of libcurl's SFTP commands (rm, rename): in double quotes, with "\"
// and '"' escaped, so that blanks and quotes stay part of the name.
std::string sftpArgument(std::string_view path);

}  // namespace varnox::ftp
