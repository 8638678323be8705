#pragma once

#include <cstdint>
#include <string>

#include "platform/system_errors.h"

// Error numbers of the FTP transport: the Internet numbering (platform/failure.h). They are the
// Windows and WinINet numbers that the FTP window and its users know, so a report such as
// "FtpGetFile Err: 12003" reads the same as it always did.
namespace varnox::ftp::error {

constexpr std::uint32_t kSuccess = 0;

// Local files and input. Those a system error gives (2 file not found, 3 path not found,
// 5 access denied, 8 not enough memory, 29 write fault, 30 read fault, 112 disk full) are
// the platform's.
using namespace platform::windows_number;
constexpr std::uint32_t kInvalidHandle = 6;         // unknown, closed or wrong kind of handle
constexpr std::uint32_t kInvalidParameter = 87;     // refused input (CR/LF in a name and so on)
constexpr std::uint32_t kInsufficientBuffer = 122;  // response text does not fit the buffer

// Network and server.
constexpr std::uint32_t kTimeout = 12002;             // connect, reply or stalled transfer
constexpr std::uint32_t kExtendedError = 12003;       // the server refused; see its reply
constexpr std::uint32_t kInternalError = 12004;       // anything the transport did not expect
constexpr std::uint32_t kInvalidUrl = 12005;          // no valid request could be formed
constexpr std::uint32_t kUnrecognizedScheme = 12006;  // not FTP (service or scheme)
constexpr std::uint32_t kNameNotResolved = 12007;     // server or gateway name unknown
constexpr std::uint32_t kLoginFailure = 12014;        // user name or password refused
constexpr std::uint32_t kOperationCancelled = 12017;  // the handle was closed meanwhile
constexpr std::uint32_t kInvalidCa = 12045;           // a certificate the user did not trust
constexpr std::uint32_t kHostKeyChanged = 12169;      // not the SSH host key known for the server
constexpr std::uint32_t kCannotConnect = 12029;       // nothing answers at that address
constexpr std::uint32_t kConnectionAborted = 12030;   // the server dropped the connection
constexpr std::uint32_t kConnectionReset = 12031;     // the connection broke while reading
constexpr std::uint32_t kTransferInProgress = 12110;  // another call uses this connection
constexpr std::uint32_t kInvalidServerResponse = 12152;  // no HTTP, or too much of it
constexpr std::uint32_t kSecureFailure = 12157;          // the TLS handshake failed

}  // namespace varnox::ftp::error

namespace varnox::ftp {

// A failure on this side, such as a file that cannot be used: a number of the above and a
// text that names the file.
struct LocalProblem {
    std::uint32_t error = 0;
    std::string text;
};

}  // namespace varnox::ftp
