#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "ftp/connection.h"
#include "ftp/errors.h"
#include "ftp/listing.h"

// The FTP transport behind the FTP window: the nine WinINet operations the window calls,
// with their calling contract, over libcurl.
//
// Contract, as the window relies on it:
// - Sessions, connections and finds are 32-bit handles; 0 means the call failed.
// - Every call sets the calling thread's last error (lastError()): 0 on success, otherwise
//   a number of ftp/errors.h. The ones the window tests are kNoMoreFiles (18) and
//   kExtendedError (12003, the server refused: internetGetLastResponseInfo gives its reply).
// - Every call that talks to the server replaces the thread's last response with the last
//   complete reply it got (all lines), or with nothing if no reply came. Calls that fail
//   before reaching the server leave the last response alone.
// - Calls are synchronous. One call at a time per connection: a second call on a connection
//   that is busy in another thread fails with kTransferInProgress. Closing a handle from
//   another thread ends a running call on it with kOperationCancelled.
namespace varnox::ftp {

using Handle = std::uint32_t;
constexpr Handle kNoHandle = 0;

// internetOpen access types.
constexpr std::uint32_t kAccessPreconfig = 0;  // no system proxy on this platform: direct
constexpr std::uint32_t kAccessDirect = 1;
constexpr std::uint32_t kAccessNamedProxy = 3;
// internetConnect service and flags.
constexpr std::uint32_t kServiceFtp = 1;
constexpr std::uint32_t kFlagPassive = 0x08000000;
// Transfer types in the flags of ftpGetFile and ftpPutFile (0 counts as binary).
constexpr std::uint32_t kTransferAscii = 1;
constexpr std::uint32_t kTransferBinary = 2;

// The calling thread's last error.
std::uint32_t lastError();

class Transport {
public:
    explicit Transport(Timeouts timeouts = {});
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Applies to connections opened afterwards.
    void setTimeouts(const Timeouts& timeouts);

    // Opens a session. accessType kAccessDirect (or kAccessPreconfig) connects straight to
    // servers; kAccessNamedProxy sends every connection through the FTP gateway named by
    // proxy ("host" or "host:port", port 21 by default; blanks around it are ignored): the
    // connection goes to the gateway and logs in as "user@server" ("user@server:port" for a
    // server not on port 21) with the password as given. Fails with kInvalidParameter for
    // another access type or a proxy text that names no host and port.
    Handle internetOpen(std::string_view agent, std::uint32_t accessType,
                        std::string_view proxy = {}, std::string_view proxyBypass = {},
                        std::uint32_t flags = 0);

    // Connects to serverName ("host" or "host:port"; port 0 means 21 unless the name has
    // one) and logs in at once, so a wrong password fails here with kLoginFailure. An empty
    // user logs in anonymously. flags: kFlagPassive for passive mode, otherwise active.
    // service must be kServiceFtp (kUnrecognizedScheme otherwise). context is not used.
    Handle internetConnect(Handle session, std::string_view serverName, std::uint16_t port,
                           std::string_view user, std::string_view password, std::uint32_t service,
                           std::uint32_t flags, std::uintptr_t context);

    // Makes directory the connection's current directory once the server accepted a change
    // to it; a refused change (kExtendedError, with the server's reply) keeps the old one.
    // Relative directories are taken from the current one; a backslash is part of a name.
    bool ftpSetCurrentDirectory(Handle connection, std::string_view directory);

    // Lists the current directory with LIST (the whole listing is read here; see
    // parseListing for what is understood) and gives its first entry whose name matches
    // pattern (see matchesPattern; the window passes "*.*"). An empty result fails with
    // kNoMoreFiles. More than one find may be open on a connection. flags and context are
    // not used.
    Handle ftpFindFirstFile(Handle connection, std::string_view pattern, FindData& data,
                            std::uint32_t flags = 0, std::uintptr_t context = 0);
    // The next entry; false with kNoMoreFiles after the last.
    bool internetFindNextFile(Handle find, FindData& data);

    // Transfer types. Binary (TYPE I) moves the bytes unchanged. ASCII (TYPE A) turns line
    // ends into the wire's CRLF and back into LF:
    // - put: every LF and every CRLF of the file goes out as one CRLF; a lone CR stays as it
    //   is. A Unix server (pyftpdlib) then stores LF line ends.
    // - get: libcurl stores every CRLF, and every lone CR, that the server sends as LF. A
    //   Unix server (pyftpdlib) sends its LF as CRLF and a CRLF in the file unchanged, so
    //   the local file ends every line with LF.
    //
    // Downloads remoteName (relative to the current directory) to localPath. The file is
    // written beside the target under a temporary name and replaces the target only when
    // complete, so a failure leaves an existing target as it was and no partial file.
    // failIfExists refuses an existing target with kFileExists. A localPath ending in "." or
    // ".." is refused with kInvalidParameter; local folder problems give kPathNotFound or
    // kAccessDenied. flags holds the transfer type (kTransferAscii, kTransferBinary or 0 for
    // binary). attributes and context are not used.
    bool ftpGetFile(Handle connection, std::string_view remoteName,
                    const std::filesystem::path& localPath, bool failIfExists,
                    std::uint32_t attributes, std::uint32_t flags, std::uintptr_t context = 0);
    // Uploads localPath as remoteName (relative to the current directory). A missing local
    // file gives kFileNotFound, a missing folder kPathNotFound, a folder kAccessDenied.
    bool ftpPutFile(Handle connection, const std::filesystem::path& localPath,
                    std::string_view remoteName, std::uint32_t flags, std::uintptr_t context = 0);

    // The thread's last response: replyCode gets its three-digit code (0 if none), text all
    // of its lines, each ending in CRLF. Always succeeds.
    bool internetGetLastResponseInfo(std::uint32_t& replyCode, std::string& text);
    // The same in the classic two-call form: with buffer null or length (the buffer's size)
    // too small for the text and a closing NUL, sets length to that size and fails with
    // kInsufficientBuffer; otherwise copies the text and a NUL and sets length to the text's
    // length. So "ask with no buffer, then pass a buffer of the length asked for" works.
    bool internetGetLastResponseInfo(std::uint32_t& replyCode, char* buffer, std::uint32_t& length);

    // Closes a session (and its connections and their finds), a connection (and its finds)
    // or a find. kInvalidHandle for 0 or a handle that is not open.
    bool internetCloseHandle(Handle handle);

private:
    struct Session;
    struct Find;
    struct Slot;

    Handle add(std::unique_ptr<Slot> slot);
    // Registers a connection or find below its session or connection; fails when that has
    // been closed meanwhile.
    template <typename Object>
    Handle addChild(Handle parent, std::shared_ptr<Object> object);
    // A get or put on a connection with the transfer type that `flags` names.
    template <typename Move>
    bool transfer(Handle handle, std::uint32_t flags, Move move);
    std::shared_ptr<Connection> connectionFor(Handle handle);

    std::mutex mutex_;
    std::map<Handle, std::unique_ptr<Slot>> slots_;
    Handle next_ = 1;
    Timeouts timeouts_;
};

}  // namespace varnox::ftp
