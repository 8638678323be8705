#include "game/search_paths.h"

#include <algorithm>

#include "game/folder_index.h"
#include "game/package_names.h"
#include "platform/wildcard.h"

namespace varnox::game {

namespace {

bool sameByte(char a, char b) {
    return sameName(std::string_view(&a, 1), std::string_view(&b, 1));
}

}  // namespace

bool SearchPath::holdsMaps() const {
    return pattern.size() >= 4 &&
           sameName(std::string_view(pattern).substr(pattern.size() - 4), ".unr");
}

std::optional<std::string> SearchPath::fileNameFor(std::string_view name) const {
    const std::size_t star = pattern.find('*');
    if (star == std::string::npos || pattern.find_first_of("*?", star + 1) != std::string::npos ||
        pattern.find('?') < star) {
        return std::nullopt;
    }
    return pattern.substr(0, star) + std::string(name) + pattern.substr(star + 1);
}

bool SearchPath::matches(std::string_view fileName) const {
    return platform::wildcardMatches(pattern, fileName, sameByte);
}

SearchPath searchPathOf(std::string_view line, const fs::path& systemFolder) {
    std::string text(line);
    std::replace(text.begin(), text.end(), '\\', '/');
    const std::size_t slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    const fs::path where =
        fs::path(folder).is_absolute() ? fs::path(folder) : systemFolder / folder;
    return {withFolderCase(where), text.substr(slash == std::string::npos ? 0 : slash + 1)};
}

std::vector<SearchPath> searchPathsOf(const GameConfig& config, const fs::path& gameFolder) {
    const fs::path system = withFolderCase(gameFolder / "System");
    std::vector<SearchPath> paths;
    const auto add = [&](SearchPath path) {
        const bool known = std::any_of(paths.begin(), paths.end(), [&](const SearchPath& other) {
            return other.folder == path.folder && sameName(other.pattern, path.pattern);
        });
        if (!known) {
            paths.push_back(std::move(path));
        }
    };
    for (const std::string& line : config.paths) {
        add(searchPathOf(line, system));
    }
    for (const StandardFolder& standard : kStandardFolders) {
        add({withFolderCase(gameFolder / standard.folder), std::string(standard.pattern)});
    }
    return paths;
}

}  // namespace varnox::game
