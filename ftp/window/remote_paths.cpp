#include "ftp/window/remote_paths.h"

namespace varnox::ftpwin {

std::string remoteDirectory(std::string_view path, std::string_view serverName) {
    if (path.starts_with(serverName)) {
        path.remove_prefix(serverName.size());
    }
    return path.empty() ? std::string("/") : std::string(path);
}

NodePathParts splitNodePath(std::string_view path) {
    std::size_t slash = path.rfind('/');
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

}  // namespace varnox::ftpwin
