#include "ftp/tree_keys.h"

#include <unordered_set>

namespace varnox::ftp {

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
            rows.push_back(
                {std::move(key), entry.link || isDirectoryEntry(entry.attributes), entry.link});
        }
    }
    return rows;
}

std::string extendedErrorText(std::string_view call, std::uint32_t replyCode,
                              std::string_view reply) {
    return std::string(call) + " Extd Err: " + std::to_string(replyCode) + " " + std::string(reply);
}

std::string closeQuestionText(std::string_view call, std::uint32_t error) {
    return std::string(call) + " Err: " + std::to_string(error) +
           "\r\nClose Connection and Session?";
}

}  // namespace varnox::ftp
