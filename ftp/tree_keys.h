#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/listing.h"

// The FTP window's tree of remote folders, as a model: the state of each node, and how the
// tree names remote paths. Every node's key and text is a remote path spelled from the server
// name: the root node is the server name S, an entry d listed below it is "S/d", an entry f
// listed inside d is "S/d/f".
namespace varnox::ftp {

// What a node stands for, which its picture shows. A closed folder shows no children; opening
// it lists them below it, and closing it removes them again. A symbolic link is a closed
// folder until opening it fails, when it becomes a file.
enum class NodeState { kRoot, kClosedFolder, kOpenFolder, kFile };

// The key of a state's picture, the name of its file without ".bmp": "root", "closed",
// "open", "leaf".
const char* pictureKey(NodeState state);

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
// server's order; a name listed twice gives one row. A directory, and a symbolic link (it may
// lead to a folder), is a closed folder; anything else a file.
struct TreeRow {
    std::string key;
    NodeState state = NodeState::kFile;
    bool link = false;

    bool operator==(const TreeRow&) const = default;
};
std::vector<TreeRow> treeRows(std::string_view parentKey, const std::vector<FindData>& entries);

}  // namespace varnox::ftp
