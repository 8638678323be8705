#include "packages/redirect_local.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/system_errors.h"

namespace varnox::redirect {

namespace {

struct PackageFolder {
    const char* folder;
    std::string_view ending;
};

constexpr std::array<PackageFolder, 5> kFolders{{
    {"Maps", ".unr"},
    {"Sounds", ".uax"},
    {"Music", ".umx"},
    {"Textures", ".utx"},
    {"System", ".u"},
}};

bool endsWith(std::string_view name, std::string_view ending) {
    return name.size() > ending.size() && name.substr(name.size() - ending.size()) == ending;
}

}  // namespace

FileFacts factsOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        throw platform::systemFailure(errno, "Cannot read " + file.string(),
                                      failure::kFileNotFound);
    }
    return {static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

LocalFolder::LocalFolder(const settings::GameFolder& game, bool withSystem)
    : uzFolder_(fs::path(game.text()) / "uz") {
    const fs::path root(game.text());
    if (!platform::folderExists(root)) {
        throw Failure(failure::kPathNotFound,
                      "The game folder " + game.text() + " does not exist or is not a folder");
    }
    for (const PackageFolder& kind : kFolders) {
        const fs::path folder = root / kind.folder;
        if ((!withSystem && kind.ending == ".u") || !platform::folderExists(folder)) {
            continue;
        }
        for (std::string& name : platform::listFiles(folder)) {
            if (endsWith(name, kind.ending)) {
                fs::path path = folder / name;
                const FileFacts facts = factsOf(path);
                packages_.push_back({kind.folder, std::move(name), std::move(path), facts});
            }
        }
    }
    if (!platform::folderExists(uzFolder_)) {
        return;
    }
    for (const std::string& name : platform::listFiles(uzFolder_)) {
        if (endsWith(name, ".uz")) {
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
