#include "redirect/local_folder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/system_errors.h"
#include "redirect/manifest.h"
#include "redirect/stream_compare.h"
#include "uz/decoder.h"
#include "uz/file_io.h"

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

// Takes the decoded package and compares it with the package file as it goes.
class ComparingSink final : public uz::ByteSink {
public:
    explicit ComparingSink(const fs::path& package) : file_(package), compare_(file_) {}

    void write(std::span<const std::uint8_t> bytes) override {
        compare_.feed(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // Whole and the same: also no byte of the package left over.
    bool same() const { return compare_.same(); }

private:
    platform::PositionalFile file_;
    StreamCompare compare_;
};

}  // namespace

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

bool decodesTo(const fs::path& uzFile, const fs::path& package) {
    try {
        uz::FileSource source(uzFile);
        ComparingSink sink(package);
        uz::decodeStream(source, sink);
        return sink.same();
    } catch (const std::exception&) {
        return false;
    }
}

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
        for (const std::string& name : platform::listBrokenLinks(folder)) {
            if (name.ends_with(ending)) {
                unreadable_.push_back({std::string(kind.folder) + "/" + name, folder / name});
            }
        }
        for (std::string& name : platform::listFiles(folder)) {
            if (name.ends_with(ending)) {
                fs::path path = folder / name;
                const FileFacts facts = factsOf(path);
                packages_.push_back(
                    {std::string(kind.folder), std::move(name), std::move(path), facts});
            }
        }
    }
    manifest_ = std::make_shared<Manifest>();
    if (!platform::folderExists(uzFolder_)) {
        return;
    }
    manifest_ = std::make_shared<Manifest>(Manifest::read(uzFolder_));
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
    if (const std::optional<MadeFrom> made = manifest_->madeFrom(package.uzName());
        made && made->uz == uz->second) {
        return made->package == package.facts ? UzState::kUpToDate : UzState::kOlder;
    }
    return uz->second.modified < package.facts.modified ? UzState::kOlder : UzState::kUpToDate;
}

bool LocalFolder::recorded(const Package& package) const {
    const auto uz = uzFiles_.find(package.uzName());
    const std::optional<MadeFrom> made = manifest_->madeFrom(package.uzName());
    return uz != uzFiles_.end() && made && made->uz == uz->second;
}

}  // namespace varnox::redirect
