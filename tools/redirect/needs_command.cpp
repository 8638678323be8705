// needs: the packages players need from the redirect server, each with why, and the names
// needed but found nowhere.
#include <algorithm>

#include "redirect/package_list.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

bool Commands::needs() {
    const PackageList list =
        listNeededPackages(game::GameFolder(setup_->gameFolder()), options_.packages);
    if (!list.iniFound) {
        warn("There is no ini file " + list.iniFile.string() +
             ": ServerPackages and Paths are not known, so these are the maps' own needs; the "
             "other commands go by folder");
    }
    constexpr std::size_t kWidestColumn = 40;
    std::size_t width = 0;
    for (const Package& package : list.packages) {
        width = std::max(width, package.shownName().size() + 2);
    }
    width = std::min(width, kWidestColumn);
    for (const Package& package : list.packages) {
        out_.print({Line::Kind::kResult,
                    "needed   " + padded(package.shownName(), width) +
                        reasonText(package.serverPackages, package.neededBy),
                    {{"event", std::string("need")},
                     {"package", package.shownName()},
                     {"needed_by", package.neededBy},
                     {"server_packages", package.serverPackages}}});
    }
    std::uint64_t failures = 0;
    for (const game::MissingPackage& missing : list.missing) {
        out_.print({Line::Kind::kFailure,
                    "missing  " + padded(missing.name, width) +
                        reasonText(missing.serverPackages, missing.neededBy) +
                        "; found nowhere the game looks",
                    {{"event", std::string("missing")},
                     {"name", missing.name},
                     {"needed_by", missing.neededBy},
                     {"server_packages", missing.serverPackages}}});
    }
    for (const UnreadablePackage& package : list.unreadable) {
        ++failures;
        failedUnreadable(package);
    }
    for (const game::NeedFailure& failure : list.failures) {
        ++failures;
        failed(Failure(failure.number, failure.description + "; what it needs is not known"),
               failure.shownName);
    }
    out_.print({Line::Kind::kSummary,
                "needs: " + std::to_string(list.packages.size()) + " needed, " +
                    std::to_string(list.missing.size()) + " found nowhere, " +
                    std::to_string(failures) + " unreadable, " + std::to_string(list.stockSkipped) +
                    " stock packages left out",
                {{"event", std::string("summary")},
                 {"command", std::string("needs")},
                 {"needed", list.packages.size()},
                 {"missing", list.missing.size()},
                 {"stock_skipped", list.stockSkipped},
                 {"failed", failures}}});
    return list.missing.empty() && failures == 0;
}

}  // namespace varnox::redirect
