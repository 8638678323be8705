#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace varnox {

// The two numberings a user meets. Classic: the BASIC runtime errors of the general failure
// path, which the program's users know from the Windows original (53 file not found, 76 path
// not found, ...). Internet: the Windows system and WinINet numbers of the FTP reports (12003
// extended error, 12029 cannot connect, and 2, 5, 112 ... for the local file of a transfer).
enum class Numbering { kClassic, kInternet };

// An unexpected failure a user can meet: a number and a plain description that names the
// file or folder involved. Handlers let it travel up to the window, which reports it in a
// message box and goes on running; the command-line programs print it. Constructed with a
// number alone, the number is a classic one; an InternetFailure carries the other numbering.
class Failure : public std::runtime_error {
public:
    Failure(int number, const std::string& description)
        : Failure(Numbering::kClassic, number, description) {}

    int number() const { return number_; }
    Numbering numbering() const { return numbering_; }
    std::string description() const { return what(); }

protected:
    Failure(Numbering numbering, int number, const std::string& description)
        : std::runtime_error(description), number_(number), numbering_(numbering) {}

private:
    int number_;
    Numbering numbering_;
};

// A failure numbered as the FTP reports are (ftp/errors.h).
class InternetFailure : public Failure {
public:
    InternetFailure(std::uint32_t number, const std::string& description)
        : Failure(Numbering::kInternet, static_cast<int>(number), description) {}
};

// The classic numbers.
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
