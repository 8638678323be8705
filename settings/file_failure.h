#pragma once

#include <string>

#include "platform/failure.h"

namespace varnox::settings {

// The failure number for a system error number (errno): permission and read-only file
// system errors give kPermissionDenied, a full disk or quota kDiskFull, a missing folder
// kPathNotFound, a name too long kBadFileName, anything else kPathFileAccessError.
int failureNumberFor(int systemError);

// A Failure for a system error met while doing `action` ("read", "write") on `file`; the
// message names the file and gives the system's reason.
Failure fileFailure(int systemError, const std::string& action, const std::string& file);

}  // namespace varnox::settings
