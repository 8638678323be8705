#include "platform/system_errors.h"

#include <cerrno>
#include <system_error>

namespace varnox::platform {

namespace {

using namespace windows_number;

// Either number may be left to the default of its numbering.
constexpr int kClassicDefault = 0;
constexpr std::uint32_t kWindowsDefault = 0;

struct Meaning {
    int systemError;
    int classic;
    std::uint32_t windows;
};

// ENOENT depends on what the caller was doing and is handled before the table.
constexpr Meaning kMeanings[] = {
    {ENOTDIR, failure::kPathNotFound, kPathNotFound},
    {ENAMETOOLONG, failure::kBadFileName, kPathNotFound},
    {ELOOP, kClassicDefault, kPathNotFound},
    {EACCES, failure::kPermissionDenied, kAccessDenied},
    {EPERM, failure::kPermissionDenied, kAccessDenied},
    {EROFS, failure::kPermissionDenied, kAccessDenied},
    {ETXTBSY, failure::kPermissionDenied, kAccessDenied},
    {EISDIR, kClassicDefault, kAccessDenied},
    {EEXIST, failure::kFileAlreadyExists, kFileExists},
    {ENOSPC, failure::kDiskFull, kDiskFull},
    {EDQUOT, failure::kDiskFull, kDiskFull},
    {EFBIG, failure::kDiskFull, kDiskFull},
    {ENOMEM, kClassicDefault, kNotEnoughMemory},
    {ENXIO, failure::kDeviceUnavailable, kWindowsDefault},
    {ENODEV, failure::kDeviceUnavailable, kWindowsDefault},
};

const Meaning* meaningOf(int systemError) {
    for (const Meaning& meaning : kMeanings) {
        if (meaning.systemError == systemError) {
            return &meaning;
        }
    }
    return nullptr;
}

}  // namespace

int classicNumber(int systemError, int missing) {
    if (systemError == ENOENT) {
        return missing;
    }
    const Meaning* meaning = meaningOf(systemError);
    return meaning != nullptr && meaning->classic != kClassicDefault
               ? meaning->classic
               : failure::kPathFileAccessError;
}

std::uint32_t windowsNumber(int systemError, bool reading) {
    if (systemError == ENOENT) {
        return reading ? kFileNotFound : kPathNotFound;
    }
    const Meaning* meaning = meaningOf(systemError);
    if (meaning != nullptr && meaning->windows != kWindowsDefault) {
        return meaning->windows;
    }
    return reading ? kReadFault : kWriteFault;
}

SystemFailure systemFailure(int systemError, const std::string& what, int missing) {
    return SystemFailure(systemError, classicNumber(systemError, missing),
                         what + ": " + std::generic_category().message(systemError));
}

}  // namespace varnox::platform
