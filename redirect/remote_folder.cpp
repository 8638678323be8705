#include "redirect/remote_folder.h"

#include <strings.h>

#include "ftp/connection.h"
#include "ftp/tree_keys.h"

namespace varnox::redirect {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

ServerCopy RemoteFolder::copyOf(std::string_view name, std::optional<std::uint64_t> size) const {
    ServerCopy copy;
    for (const ftp::FindData& entry : entries_) {
        if (entry.name != name) {
            if (copy.otherCaseName.empty() && sameIgnoringCase(entry.name, name)) {
                copy.otherCaseName = entry.name;
            }
            continue;
        }
        copy.size = entry.size;
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
        if (entry.name.starts_with(ftp::kUploadPrefix) && !entry.link &&
            !ftp::isDirectoryEntry(entry.attributes)) {
            names.push_back(entry.name);
        }
    }
    return names;
}

UploadPlan planUpload(const std::vector<LocalUz>& local, const RemoteFolder& remote) {
    UploadPlan plan;
    plan.leftovers = remote.leftovers();
    for (const LocalUz& file : local) {
        PlannedUpload item{file, remote.copyOf(file.name, file.size)};
        const ServerState state = item.server.state;
        const bool upload = state == ServerState::kMissing || state == ServerState::kDiffers ||
                            state == ServerState::kFolder;
        (upload ? plan.uploads : plan.kept).push_back(std::move(item));
    }
    return plan;
}

}  // namespace varnox::redirect
