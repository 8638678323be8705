#include "game/stock_packages.h"

#include "game/package_names.h"
#include "platform/failure.h"
#include "platform/files.h"

namespace varnox::game {

// game/stock_packages.txt, made into a source file by the build.
extern const char kBuiltInStockPackages[];

namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The name less the ending of one of the game's kinds of package ("*.unr" and so on).
std::string_view withoutEnding(std::string_view name) {
    for (const StandardFolder& kind : kStandardFolders) {
        const std::string_view ending = kind.pattern.substr(1);
        if (name.size() > ending.size() &&
            sameName(name.substr(name.size() - ending.size()), ending)) {
            return name.substr(0, name.size() - ending.size());
        }
    }
    return name;
}

}  // namespace

StockPackages StockPackages::builtIn() {
    StockPackages stock;
    stock.add(kBuiltInStockPackages);
    return stock;
}

void StockPackages::add(std::string_view list) {
    while (!list.empty()) {
        const std::size_t end = list.find('\n');
        const std::string_view line = trimmed(list.substr(0, end));
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        if (!line.empty() && !line.starts_with('#')) {
            folded_.insert(foldedName(withoutEnding(line)));
        }
    }
}

void StockPackages::addFile(const std::filesystem::path& file) {
    const auto list = platform::readWholeFile(file);
    if (!list) {
        throw Failure(failure::kFileNotFound, "File not found: " + file.string());
    }
    add(*list);
}

bool StockPackages::contains(std::string_view name) const {
    return folded_.contains(foldedName(name));
}

}  // namespace varnox::game
