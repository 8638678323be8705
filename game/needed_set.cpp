#include "game/needed_set.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <set>

#include "game/folder_index.h"
#include "game/package_names.h"
#include "game/package_tables.h"
#include "game/search_paths.h"

namespace varnox::game {

namespace {

std::string shownNameOf(const fs::path& file, const fs::path& gameFolder) {
    const fs::path relative =
        file.lexically_normal().lexically_relative(gameFolder.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") {
        return file.string();
    }
    return relative.generic_string();
}

std::vector<std::string> sortedIgnoringCase(const std::set<std::string>& names) {
    std::vector<std::string> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); });
    return sorted;
}

// One search: every package met goes into `found_` under its folded name and into the queue
// once; the queue's packages are read in turn for what they import.
class NeedSearch {
public:
    NeedSearch(const fs::path& gameFolder, const GameConfig& config, const StockPackages& stock,
               NeedOptions options)
        : gameFolder_(gameFolder),
          config_(config),
          paths_(searchPathsOf(config, gameFolder)),
          stock_(stock),
          options_(options) {}

    NeededSet run() {
        for (const std::string& name : config_.serverPackages) {
            if (Package* package = meet(name, std::nullopt, nullptr)) {
                package->serverPackages = true;
            }
        }
        for (const SearchPath& path : paths_) {
            if (!path.holdsMaps()) {
                continue;
            }
            for (const std::string& file : folders_.files(path.folder)) {
                if (path.matches(file)) {
                    meet(packageNameOfFile(file), path.folder / file, nullptr);
                }
            }
        }
        while (!queue_.empty()) {
            readImports(found_.at(queue_.front()));
            queue_.pop_front();
        }
        return result();
    }

private:
    struct Package {
        std::string name;
        std::optional<fs::path> path;
        std::string shownName;
        bool serverPackages = false;
        std::set<std::string> neededBy;
    };

    // The package `name` (found at `file` when given, otherwise looked for), needed by the
    // package shown as `*by` when given. Stock names are counted and stand for no package.
    Package* meet(std::string_view name, std::optional<fs::path> file, const std::string* by) {
        std::string key = foldedName(name);
        if (!options_.includeStock && stock_.contains(name)) {
            stockMet_.insert(std::move(key));
            return nullptr;
        }
        const auto [it, added] = found_.try_emplace(key);
        Package& package = it->second;
        if (added) {
            package.name = name;
            package.path = file ? file : find(name);
            if (package.path) {
                package.shownName = shownNameOf(*package.path, gameFolder_);
            }
            queue_.push_back(std::move(key));
        }
        if (by != nullptr) {
            package.neededBy.insert(*by);
        }
        return &package;
    }

    std::optional<fs::path> find(std::string_view name) {
        for (const SearchPath& path : paths_) {
            const auto fileName = path.fileNameFor(name);
            if (!fileName) {
                continue;
            }
            if (const auto file = folders_.find(path.folder, *fileName)) {
                return path.folder / *file;
            }
        }
        return std::nullopt;
    }

    void readImports(const Package& package) {
        if (!package.path) {
            return;
        }
        std::vector<std::string> dependencies;
        try {
            dependencies = readPackageTables(*package.path).dependencies();
        } catch (const Failure& failure) {
            failures_.push_back({package.shownName, failure.number(), failure.description()});
            return;
        }
        for (const std::string& dependency : dependencies) {
            if (!sameName(dependency, package.name)) {
                meet(dependency, std::nullopt, &package.shownName);
            }
        }
    }

    NeededSet result() {
        NeededSet set;
        for (auto& [key, package] : found_) {
            if (package.path) {
                set.packages.push_back({package.shownName, *package.path,
                                        package.path->filename().string(), package.serverPackages,
                                        sortedIgnoringCase(package.neededBy)});
            } else {
                set.missing.push_back(
                    {package.name, package.serverPackages, sortedIgnoringCase(package.neededBy)});
            }
        }
        std::sort(set.packages.begin(), set.packages.end(), [](const auto& a, const auto& b) {
            return lessIgnoringCase(a.shownName, b.shownName);
        });
        std::sort(set.missing.begin(), set.missing.end(),
                  [](const auto& a, const auto& b) { return lessIgnoringCase(a.name, b.name); });
        for (const auto& [folder, failure] : folders_.failures()) {
            set.failures.push_back(
                {shownNameOf(folder, gameFolder_), failure.number(), failure.description()});
        }
        set.failures.insert(set.failures.end(), failures_.begin(), failures_.end());
        set.stockSkipped = stockMet_.size();
        return set;
    }

    fs::path gameFolder_;
    const GameConfig& config_;
    std::vector<SearchPath> paths_;
    const StockPackages& stock_;
    NeedOptions options_;
    FolderIndex folders_;
    std::map<std::string, Package> found_;
    std::deque<std::string> queue_;
    std::set<std::string> stockMet_;
    std::vector<NeedFailure> failures_;
};

}  // namespace

NeededSet findNeededPackages(const fs::path& gameFolder, const GameConfig& config,
                             const StockPackages& stock, NeedOptions options) {
    return NeedSearch(gameFolder, config, stock, options).run();
}

}  // namespace varnox::game
