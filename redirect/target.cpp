#include "redirect/target.h"

#include "platform/failure.h"
#include "redirect/folder_target.h"
#include "redirect/server.h"

namespace varnox::redirect {

std::unique_ptr<Target> openTarget(const ServerSetup& setup, ftp::TrustQuestion askToTrust,
                                   ftp::HostKeyQuestion askToTrustHostKey) {
    if (!isFileUrl(setup.login.server)) {
        return std::make_unique<RedirectServer>(setup, std::move(askToTrust),
                                                std::move(askToTrustHostKey));
    }
    std::string why;
    const std::optional<std::filesystem::path> named = folderOfFileUrl(setup.login.server, why);
    if (!named) {
        throw Failure(failure::kBadFileName, "The server " + why);
    }
    // A relative remote folder is taken under the URL's path; an absolute one replaces it.
    std::filesystem::path folder = (*named / setup.remoteFolder).lexically_normal();
    if (!folder.has_filename() && folder.has_relative_path()) {
        folder = folder.parent_path();
    }
    return std::make_unique<FolderTarget>(std::move(folder));
}

}  // namespace varnox::redirect
