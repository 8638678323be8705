#pragma once

#include <optional>
#include <string>
#include <string_view>

// How the FTP window turns the texts of its remote tree into remote directories and names.
// Every node's text is a remote path spelled from the server name: the root node is the
// server name S, an entry d below it is "S/d", an entry f inside d is "S/d/f".
namespace varnox::ftpwin {

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
// server name is longer than the node's text (the user changed the server box while
// connected), so there is no directory to take.
std::optional<std::string> uploadDirectory(std::string_view nodeText, std::string_view serverName);

}  // namespace varnox::ftpwin
