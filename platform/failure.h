#pragma once

#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

namespace varnox {

// An unexpected failure a user can meet: a number and a plain description that names the
// file or folder involved. Handlers let it travel up to the window, which reports it in a
// message box and goes on running.
class Failure : public std::runtime_error {
public:
    Failure(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}

    int number() const { return number_; }
    std::string description() const { return what(); }

private:
    int number_;
};

// The numbers follow the classic BASIC runtime errors that the program's users know from
// the Windows original.
namespace failure {
constexpr int kBadFileName = 52;
constexpr int kFileNotFound = 53;
constexpr int kFileAlreadyExists = 58;
constexpr int kDiskFull = 61;
constexpr int kDeviceUnavailable = 68;
constexpr int kPermissionDenied = 70;
constexpr int kPathFileAccessError = 75;
constexpr int kPathNotFound = 76;
constexpr int kInvalidValue = 380;
}  // namespace failure

// The failure number for a system error (errno). A missing name means a missing file to a
// reader and a missing folder to most other callers, so the caller says which: `missing` is
// the number for ENOENT.
inline int failureNumberForSystemError(int error, int missing = failure::kPathNotFound) {
    switch (error) {
        case ENOENT:
            return missing;
        case ENOTDIR:
            return failure::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return failure::kPermissionDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return failure::kDiskFull;
        case ENAMETOOLONG:
            return failure::kBadFileName;
        case ENXIO:
        case ENODEV:
            return failure::kDeviceUnavailable;
        case EEXIST:
            return failure::kFileAlreadyExists;
        default:
            return failure::kPathFileAccessError;
    }
}

// A failure for a system error met while doing `what` ("Cannot read /a/b"): the text goes on
// with the system's reason.
inline Failure systemFailure(int error, const std::string& what,
                             int missing = failure::kPathNotFound) {
    return Failure(failureNumberForSystemError(error, missing),
                   what + ": " + std::generic_category().message(error));
}

}  // namespace varnox
