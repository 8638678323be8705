#include "settings/file_failure.h"

#include <cerrno>
#include <system_error>

namespace varnox::settings {

int failureNumberFor(int systemError) {
    switch (systemError) {
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return failure::kPermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return failure::kDiskFull;
        case ENOENT:
        case ENOTDIR:
            return failure::kPathNotFound;
        case ENAMETOOLONG:
            return failure::kBadFileName;
        default:
            return failure::kPathFileAccessError;
    }
}

Failure fileFailure(int systemError, const std::string& action, const std::string& file) {
    return Failure(failureNumberFor(systemError), "Cannot " + action + " " + file + ": " +
                                                      std::generic_category().message(systemError));
}

}  // namespace varnox::settings
