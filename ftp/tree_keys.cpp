#include "ftp/tree_keys.h"

#include <unordered_set>

namespace varnox::ftp {

const char* pictureKey(NodeState state) {
    switch (state) {
        case NodeState::kRoot:
            return "root";
        case NodeState::kClosedFolder:
            return "closed";
        case NodeState::kOpenFolder:
            return "open";
        case NodeState::kFile:
            break;
    }
    return "leaf";
}

std::string remoteDirectory(std::string_view path, std::string_view serverName) {
    if (path.starts_with(serverName)) {
        path.remove_prefix(serverName.size());
    }
    return path.empty() ? std::string("/") : std::string(path);
}

NodePathParts splitNodePath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {std::string(), std::string(path)};
    }
    return {std::string(path.substr(0, slash + 1)), std::string(path.substr(slash + 1))};
}

std::optional<std::string> uploadDirectory(std::string_view nodeText, std::string_view serverName) {
    if (serverName.size() > nodeText.size()) {
        return std::nullopt;
    }
    nodeText.remove_prefix(serverName.size());
    return nodeText.empty() ? std::string("/") : std::string(nodeText);
}

bool isDirectoryEntry(std::uint32_t attributes) {
    return attributes <= 0xFFFF && (attributes & attribute::kDirectory) != 0;
}

std::vector<TreeRow> treeRows(std::string_view parentKey, const std::vector<FindData>& entries) {
    std::vector<TreeRow> rows;
    std::unordered_set<std::string> seen;
    rows.reserve(entries.size());
    for (const FindData& entry : entries) {
        std::string key = std::string(parentKey) + "/" + entry.name;
        if (seen.insert(key).second) {
            const bool folder = entry.link || isDirectoryEntry(entry.attributes);
            rows.push_back(
                {std::move(key), folder ? NodeState::kClosedFolder : NodeState::kFile, entry.link});
        }
    }
    return rows;
}

}  // namespace varnox::ftp
