#include "redirect/remote_folder.h"

#include <algorithm>
#include <set>

#include "ftp/connection.h"
#include "ftp/tree_keys.h"
#include "game/package_names.h"
#include "redirect/file_hash.h"

namespace varnox::redirect {

namespace {

bool isOrdinaryFile(const ftp::FindData& entry) {
    return !entry.link && !ftp::isDirectoryEntry(entry.attributes);
}

// The blank-separated words of a listed time.
std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        if (blank != 0) {
            words.push_back(text.substr(0, blank));
        }
        text.remove_prefix(blank == std::string_view::npos ? text.size() : blank + 1);
    }
    return words;
}

bool isClock(std::string_view word) {
    return word.find(':') != std::string_view::npos;
}

}  // namespace

RemoteFolder::RemoteFolder(std::vector<ftp::FindData> entries) : entries_(std::move(entries)) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        byFoldedName_[game::foldedName(entries_[i].name)].push_back(i);
    }
}

ServerCopy RemoteFolder::copyOf(std::string_view name, std::optional<std::uint64_t> size) const {
    ServerCopy copy;
    const auto found = byFoldedName_.find(game::foldedName(name));
    if (found == byFoldedName_.end()) {
        return copy;
    }
    for (const std::size_t index : found->second) {
        const ftp::FindData& entry = entries_[index];
        if (entry.name != name) {
            if (copy.otherCaseName.empty()) {
                copy.otherCaseName = entry.name;
            }
            continue;
        }
        copy.size = entry.size;
        copy.time = entry.time;
        if (entry.link) {
            copy.state = ServerState::kLink;
        } else if (ftp::isDirectoryEntry(entry.attributes)) {
            copy.state = ServerState::kFolder;
        } else {
            copy.state = size && *size == entry.size ? ServerState::kSame : ServerState::kDiffers;
        }
    }
    return copy;
}

std::vector<std::string> RemoteFolder::leftovers() const {
    std::vector<std::string> names;
    for (const ftp::FindData& entry : entries_) {
        if (entry.name.starts_with(ftp::kUploadPrefix) && isOrdinaryFile(entry)) {
            names.push_back(entry.name);
        }
    }
    return names;
}

std::vector<std::string> RemoteFolder::orphans(const std::vector<std::string>& keepFiles,
                                               const std::vector<std::string>& keepNames) const {
    std::set<std::string, std::less<>> files, packages;
    for (const std::string& file : keepFiles) {
        files.insert(game::foldedName(file));
    }
    for (const std::string& name : keepNames) {
        packages.insert(game::foldedName(name));
    }
    std::vector<std::string> names;
    for (const ftp::FindData& entry : entries_) {
        const std::string& name = entry.name;
        if (name.starts_with('.') || !isOrdinaryFile(entry) ||
            !(name.ends_with(".uz") || name.ends_with(".UZ"))) {
            continue;
        }
        const std::string package = name.substr(0, name.size() - 3);
        if (!files.contains(game::foldedName(package)) &&
            !packages.contains(game::foldedName(game::packageNameOfFile(package)))) {
            names.push_back(name);
        }
    }
    return names;
}

bool sameListedTime(std::string_view before, std::string_view now) {
    if (before.empty() || now.empty() || before == now) {
        return true;
    }
    const std::vector<std::string_view> a = wordsOf(before), b = wordsOf(now);
    // "Mon DD HH:MM" against "Mon DD YYYY": the same month and day.
    return a.size() == 3 && b.size() == 3 && isClock(a[2]) != isClock(b[2]) && a[0] == b[0] &&
           a[1] == b[1];
}

bool holdsWhatWasSent(const LocalUz& local, const SentRecord& record) {
    if (!local.facts) {
        return false;
    }
    if (*local.facts == record.local) {
        return true;
    }
    return local.facts->size == record.local.size && sha256Of(local.path) == record.sha256;
}

bool uploads(CopyVerdict verdict) {
    switch (verdict) {
        case CopyVerdict::kMissing:
        case CopyVerdict::kToBeMade:
        case CopyVerdict::kOtherSize:
        case CopyVerdict::kChangedHere:
        case CopyVerdict::kChangedThere:
        case CopyVerdict::kOtherBytes:
            return true;
        default:
            return false;
    }
}

CopyVerdict judgeCopy(const ServerCopy& server, const LocalUz& local, const SentRecord* record,
                      bool holdsSent) {
    switch (server.state) {
        case ServerState::kMissing:
            return CopyVerdict::kMissing;
        case ServerState::kLink:
            return CopyVerdict::kLink;
        case ServerState::kFolder:
            return CopyVerdict::kFolder;
        default:
            break;
    }
    if (!local.facts) {
        return CopyVerdict::kToBeMade;
    }
    if (record == nullptr) {
        return server.state == ServerState::kSame ? CopyVerdict::kUnverified
                                                  : CopyVerdict::kOtherSize;
    }
    if (!holdsSent) {
        return CopyVerdict::kChangedHere;
    }
    const std::uint64_t leftSize = record->serverSize.value_or(record->local.size);
    if (server.size != leftSize || !sameListedTime(record->serverTime, server.time)) {
        return CopyVerdict::kChangedThere;
    }
    return CopyVerdict::kSame;
}

UploadPlan planUpload(const std::vector<LocalUz>& local, const RemoteFolder& remote,
                      const std::map<std::string, SentRecord>& sent) {
    UploadPlan plan;
    plan.leftovers = remote.leftovers();
    for (const LocalUz& file : local) {
        PlannedUpload item{
            file,
            remote.copyOf(file.name, file.facts ? std::optional(file.facts->size) : std::nullopt)};
        const auto record = sent.find(file.name);
        const SentRecord* recorded = record == sent.end() ? nullptr : &record->second;
        bool holdsSent = false;
        try {
            holdsSent = recorded != nullptr && item.server.state != ServerState::kMissing &&
                        holdsWhatWasSent(file, *recorded);
        } catch (const Failure& failure) {
            plan.failed.emplace_back(file.name, failure);
            continue;
        }
        item.verdict = judgeCopy(item.server, file, recorded, holdsSent);
        (uploads(item.verdict) || item.verdict == CopyVerdict::kFolder ? plan.uploads : plan.kept)
            .push_back(std::move(item));
    }
    return plan;
}

}  // namespace varnox::redirect
