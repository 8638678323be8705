#include "redirect/check_items.h"

namespace varnox::redirect {

std::vector<CheckItem> checkItems(const std::vector<game::NeededPackage>& packages,
                                  const game::GameConfig& config,
                                  const std::filesystem::path& uzFolder) {
    std::vector<CheckItem> items;
    items.reserve(packages.size());
    for (const game::NeededPackage& package : packages) {
        CheckItem& item = items.emplace_back();
        item.package = package.shownName;
        item.requestedName = game::requestedName(config, package.fileName);
        item.local = package.path;
        if (config.useCompression) {
            item.local = uzFolder / item.requestedName;
            std::error_code error;
            const std::uintmax_t size = std::filesystem::file_size(package.path, error);
            if (!error) {
                item.packageSize = size;
            }
        }
    }
    return items;
}

}  // namespace varnox::redirect
