#pragma once

#include <string>

#include "platform/failure.h"

namespace varnox::uz {

// Error numbers of the codec, in the same classic runtime numbering as varnox::Failure.
namespace error {
constexpr int kOverflow = 6;         // a package too large for the format's 32-bit fields
constexpr int kInputPastEnd = 62;    // the data ends before a field or code is complete
constexpr int kInvalidFormat = 321;  // the data breaks a rule of the format
constexpr int kInvalidValue = failure::kInvalidValue;
}  // namespace error

// Raised for every fault the codec meets: corrupt or truncated .uz data, a stored name the
// format cannot hold, a package too large, and (from the file functions) a file that cannot
// be read or written. The file functions put the file's path into the description.
class Error : public Failure {
public:
    using Failure::Failure;
};

// An Error from the file system (a file that cannot be opened, read or written), whose
// description already names the file. Callers that add the name of the file being decoded
// to codec errors pass these on as they are.
class FileError : public Error {
public:
    using Error::Error;
};

}  // namespace varnox::uz
