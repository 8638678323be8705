#pragma once

#include <string>
#include <string_view>

// Remote paths and the URL paths libcurl is given for them.
//
// A connection keeps its current remote directory itself and names every request by a full
// path built from it: libcurl resolves URL paths from the login directory and skips a CWD
// when a path equals the previous one, so letting the server's idea of "current" drift from
// libcurl's would list or fetch the wrong folder. A path starting with "/" is absolute on
// the server; any other path is relative to the login directory (used only when the server
// did not tell its login directory).
namespace varnox::ftp {

// The directory after changing from current to requested, as CWD would: an absolute
// request replaces current, a relative one is appended. Only "/" separates: a backslash is an
// ordinary byte of a name on the servers this talks to. Trailing separators are dropped
// except for the root itself. "." and ".." stay as written; the server resolves them.
std::string changedDirectory(std::string_view current, std::string_view requested);

// The path of name inside directory; a name holding "/" reaches below it, a name starting
// with "/" stands alone.
std::string childPath(std::string_view directory, std::string_view name);

// Everything but ALPHA, DIGIT and "-._~" as %XX, so "#", "?", "%", blanks and bytes above
// 127 reach the server unchanged.
std::string percentEncode(std::string_view component);
// A path with each name in it percent-encoded and every "/" kept as it is.
std::string percentEncodePath(std::string_view path);

// The URL path (the part after "ftp://host:port/") that makes libcurl change to directory
// and then act on the directory itself; ends in "/" unless it is empty (the login directory).
std::string directoryUrlPath(std::string_view directory);

// The URL path for a file path: its directory as above, then the encoded file name.
std::string fileUrlPath(std::string_view path);

}  // namespace varnox::ftp
