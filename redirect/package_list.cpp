#include "redirect/package_list.h"

#include "game/package_names.h"
#include "game/search_paths.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "redirect/local_folder.h"

namespace varnox::redirect {

namespace {

// The game's package folders, and System's code packages.
std::vector<game::PackageFolder> packageFolders(bool withSystem) {
    std::vector<game::PackageFolder> folders(game::kPackageFolders.begin(),
                                             game::kPackageFolders.end());
    if (withSystem) {
        folders.push_back({"System", "u"});
    }
    return folders;
}

// The folder part of a shown name: "Maps" of "Maps/DM-A.unr", "" of "DM-A.unr".
std::string folderOf(const std::string& shownName, const std::string& fileName) {
    if (shownName.size() <= fileName.size()) {
        return {};
    }
    return shownName.substr(0, shownName.size() - fileName.size() - 1);
}

std::string shownNameOf(const fs::path& file, const fs::path& gameFolder) {
    const fs::path relative =
        file.lexically_normal().lexically_relative(gameFolder.lexically_normal());
    return relative.empty() || *relative.begin() == ".." ? file.string()
                                                         : relative.generic_string();
}

void listByFolder(const fs::path& root, bool withSystem, PackageList& list) {
    for (const game::PackageFolder& kind : packageFolders(withSystem)) {
        const fs::path folder = root / kind.folder;
        if (!platform::folderExists(folder)) {
            continue;
        }
        const std::string ending = "." + std::string(kind.ending);
        for (const std::string& name : platform::listBrokenLinks(folder)) {
            if (name.ends_with(ending)) {
                list.unreadable.push_back({std::string(kind.folder) + "/" + name, folder / name});
            }
        }
        for (std::string& name : platform::listFiles(folder)) {
            if (name.ends_with(ending)) {
                fs::path path = folder / name;
                const FileFacts facts = factsOf(path);
                list.packages.push_back(
                    {std::string(kind.folder), std::move(name), std::move(path), facts});
            }
        }
    }
}

void listNeeded(const fs::path& root, const game::StockPackages& stock, bool includeStock,
                PackageList& list) {
    game::NeededSet set = game::findNeededPackages(root, list.config, stock, {includeStock});
    for (game::NeededPackage& needed : set.packages) {
        FileFacts facts;
        try {
            facts = factsOf(needed.path);
        } catch (const Failure&) {
            list.unreadable.push_back({needed.shownName, needed.path});
            continue;
        }
        list.packages.push_back({folderOf(needed.shownName, needed.fileName), needed.fileName,
                                 needed.path, facts, needed.serverPackages,
                                 std::move(needed.neededBy)});
    }
    // Maps that are links leading nowhere: the search does not see them.
    for (const game::SearchPath& path : game::searchPathsOf(list.config, root)) {
        if (path.holdsMaps() && platform::folderExists(path.folder)) {
            for (const std::string& name : platform::listBrokenLinks(path.folder)) {
                if (path.matches(name)) {
                    list.unreadable.push_back(
                        {shownNameOf(path.folder / name, root), path.folder / name});
                }
            }
        }
    }
    list.missing = std::move(set.missing);
    list.failures = std::move(set.failures);
    list.stockSkipped = set.stockSkipped;
}

}  // namespace

std::optional<game::GameConfig> readConfig(const game::GameFolder& game, const PackageRule& rule,
                                           fs::path& iniFile) {
    iniFile = rule.iniFile ? *rule.iniFile : game::iniFileOf(fs::path(game.text()));
    std::optional<game::GameConfig> config = game::readGameConfig(iniFile);
    if (!config && rule.iniFile) {
        throw Failure(failure::kFileNotFound,
                      "The ini file " + iniFile.string() + " does not exist or is not a file");
    }
    return config;
}

game::StockPackages stockOf(const PackageRule& rule) {
    game::StockPackages stock = game::StockPackages::builtIn();
    for (const fs::path& file : rule.stockFiles) {
        stock.addFile(file);
    }
    return stock;
}

namespace {

PackageList listBy(const game::GameFolder& game, const PackageRule& rule, bool byNeed) {
    const fs::path root(game.text());
    if (!platform::folderExists(root)) {
        throw Failure(failure::kPathNotFound,
                      "The game folder " + game.text() + " does not exist or is not a folder");
    }
    // Read whichever the basis, so that a stock file that cannot be read is always said.
    const game::StockPackages stock = stockOf(rule);
    PackageList list;
    std::optional<game::GameConfig> config = readConfig(game, rule, list.iniFile);
    list.iniFound = config.has_value();
    if (config) {
        list.config = std::move(*config);
    }
    if (byNeed || (config && !rule.all)) {
        list.basis = PackageList::Basis::kNeeded;
        listNeeded(root, stock, rule.includeStock, list);
    } else {
        listByFolder(root, rule.withSystem, list);
    }
    return list;
}

}  // namespace

PackageList listPackages(const game::GameFolder& game, const PackageRule& rule) {
    return listBy(game, rule, false);
}

PackageList listNeededPackages(const game::GameFolder& game, const PackageRule& rule) {
    return listBy(game, rule, true);
}

}  // namespace varnox::redirect
