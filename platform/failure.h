#pragma once

#include <stdexcept>
#include <string>

namespace varnox {

// An unexpected failure a user can meet: a number and a plain description that names the
// file or folder involved. Handlers let it travel up to the window, which reports it in a
// message box and goes on running; the command-line programs print it.
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
constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;
constexpr int kBadFileName = 52;
constexpr int kFileNotFound = 53;
constexpr int kFileAlreadyExists = 58;
constexpr int kDiskFull = 61;
constexpr int kDeviceUnavailable = 68;
constexpr int kPermissionDenied = 70;
constexpr int kPathFileAccessError = 75;
constexpr int kPathNotFound = 76;
constexpr int kInvalidFileFormat = 321;
constexpr int kInvalidValue = 380;
constexpr int kInvalidPicture = 481;
}  // namespace failure

}  // namespace varnox
