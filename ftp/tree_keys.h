#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/listing.h"

// How the FTP window's tree names remote paths. Every node's key and text is a remote path
// spelled from the server name: the root node is the server name S, an entry d listed below
// it is "S/d", an entry f listed inside d is "S/d/f".
namespace varnox::ftp {

// The remote directory a node path (or the directory part of one) stands for: the path
// without the server name where it starts with it, otherwise the path as it is; "/" when
// nothing is left. So S gives "/", "S/d/e" gives "/d/e", "S/maps/" gives "/maps/".
std::string remoteDirectory(std::string_view path, std::string_view serverName);

// A node path split at its last "/": the directory part keeps the "/", the name is what
// follows it. A path without "/" has an empty directory part and is all name.
struct NodePathParts {
    std::string directory;
    std::string name;

    bool operator==(const NodePathParts&) const = default;
};
NodePathParts splitNodePath(std::string_view path);

// The directory an upload into the node with text nodeText goes to: the text without as
// many leading characters as serverName has, "/" when nothing is left. Nothing when the
// server name is longer than the node's text (the server box was changed while connected),
// so there is no directory to take.
std::optional<std::string> uploadDirectory(std::string_view nodeText, std::string_view serverName);

// Whether an entry is a directory: its attribute value fits 16 bits and has the directory
// bit (16) set, so a read-only directory (17) counts too. A larger value is a file.
bool isDirectoryEntry(std::uint32_t attributes);

// The rows a listing adds below the node keyed parentKey: key parentKey + "/" + name, in the
// server's order; a name listed twice gives one row.
// A symbolic link may lead to a folder: it is offered as one until opening it fails.
struct TreeRow {
    std::string key;
    bool directory = false;
    bool link = false;

    bool operator==(const TreeRow&) const = default;
};
std::vector<TreeRow> treeRows(std::string_view parentKey, const std::vector<FindData>& entries);

// The FTP window's report of a failed call: for an extended error (12003) first the call,
// " Extd Err: ", the reply code, a blank and the reply text; then always the question: the
// call, " Err: ", the error number, CR LF and "Close Connection and Session?".
std::string extendedErrorText(std::string_view call, std::uint32_t replyCode,
                              std::string_view reply);
std::string closeQuestionText(std::string_view call, std::uint32_t error);

}  // namespace varnox::ftp
