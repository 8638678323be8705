#include "redirect/local_folder.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/system_errors.h"

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

// The size and last change of an ordinary file; throws varnox::Failure naming it.
FileFacts factsOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        throw platform::systemFailure(errno, "Cannot read " + file.string(),
                                      failure::kFileNotFound);
    }
    return {static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

}  // namespace

LocalFolder::LocalFolder(const game::GameFolder& game, bool withSystem)
    : uzFolder_(game.uzFolderSetting()) {
    const fs::path root(game.text());
    if (!platform::folderExists(root)) {
        throw Failure(failure::kPathNotFound,
                      "The game folder " + game.text() + " does not exist or is not a folder");
    }
    for (const game::PackageFolder& kind : packageFolders(withSystem)) {
        const fs::path folder = root / kind.folder;
        if (!platform::folderExists(folder)) {
            continue;
        }
        const std::string ending = "." + std::string(kind.ending);
        for (std::string& name : platform::listFiles(folder)) {
            if (name.ends_with(ending)) {
                fs::path path = folder / name;
                const FileFacts facts = factsOf(path);
                packages_.push_back(
                    {std::string(kind.folder), std::move(name), std::move(path), facts});
            }
        }
    }
    if (!platform::folderExists(uzFolder_)) {
        return;
    }
    for (const std::string& name : platform::listFiles(uzFolder_)) {
        if (name.ends_with(".uz")) {
            uzFiles_.emplace(name, factsOf(uzFolder_ / name));
        }
    }
}

UzState LocalFolder::stateOf(const Package& package) const {
    const auto uz = uzFiles_.find(package.uzName());
    if (uz == uzFiles_.end()) {
        return UzState::kMissing;
    }
    return uz->second.modified < package.facts.modified ? UzState::kOlder : UzState::kUpToDate;
}

}  // namespace varnox::redirect
