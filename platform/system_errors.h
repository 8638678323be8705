#pragma once

#include <cstdint>
#include <string>

#include "platform/failure.h"

// What a system error (an errno value) means to the user, in the two numberings the program
// shows (failure.h): the classic runtime numbers of the general failure path, and the Windows
// numbers of the FTP reports. One table holds both.
namespace varnox::platform {

// The Windows numbers of local file operations: the part of the Internet numbering that a
// system error gives (ftp/errors.h numbers the rest).
namespace windows_number {
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kNotEnoughMemory = 8;
constexpr std::uint32_t kWriteFault = 29;
constexpr std::uint32_t kReadFault = 30;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kDiskFull = 112;
}  // namespace windows_number

// The classic number. A missing name means a missing file to a reader and a missing folder
// to most other callers, so the caller says which: `missing` is the number for ENOENT.
int classicNumber(int systemError, int missing = failure::kPathNotFound);

// The Windows number for a local file operation; `reading` tells whether the file was being
// read (a missing file is then "file not found") or written (its folder is missing).
std::uint32_t windowsNumber(int systemError, bool reading);

// A failure that remembers the system error it came from, so that a caller showing the
// other numbering can still tell.
class SystemFailure : public Failure {
public:
    SystemFailure(int systemError, int number, const std::string& description)
        : Failure(number, description), systemError_(systemError) {}
    int systemError() const { return systemError_; }

private:
    int systemError_;
};

// The failure for a system error met while doing `what` ("Cannot read /a/b"): the text goes
// on with the system's reason.
SystemFailure systemFailure(int systemError, const std::string& what,
                            int missing = failure::kPathNotFound);

}  // namespace varnox::platform
