#pragma once

#include <cstdint>

// Error numbers of the FTP transport. They are the Windows and WinINet numbers that the
// FTP window and its users know, so a report such as "FtpGetFile Err: 12003" reads the same
// as it always did.
namespace varnox::ftp::error {

constexpr std::uint32_t kSuccess = 0;

// Local files and input.
constexpr std::uint32_t kFileNotFound = 2;          // local source file missing
constexpr std::uint32_t kPathNotFound = 3;          // local folder missing or not a folder
constexpr std::uint32_t kAccessDenied = 5;          // local file refused (permissions, a folder)
constexpr std::uint32_t kInvalidHandle = 6;         // unknown, closed or wrong kind of handle
constexpr std::uint32_t kNotEnoughMemory = 8;       // out of memory
constexpr std::uint32_t kWriteFault = 29;           // local write failed otherwise
constexpr std::uint32_t kReadFault = 30;            // local read failed otherwise
constexpr std::uint32_t kInvalidParameter = 87;     // refused input (CR/LF in a name and so on)
constexpr std::uint32_t kDiskFull = 112;            // no room for the local file
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
constexpr std::uint32_t kSecureFailure = 12157;       // the TLS handshake failed

}  // namespace varnox::ftp::error
