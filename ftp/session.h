#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/address.h"
#include "ftp/connection.h"
#include "ftp/listing.h"

namespace varnox::ftp {

// How a session call ended: error 0 on success, otherwise a number of ftp/errors.h, with the
// server's last complete reply during the call (every line, each ending in CR LF; empty and
// code 0 when no reply came).
struct CallResult {
    std::uint32_t error = 0;
    std::uint32_t replyCode = 0;
    std::string reply;

    bool ok() const { return error == 0; }
};

// Who logs in where.
struct Login {
    std::string server;  // "host", "host:port", "[v6]:port"; an "ftp://" in front is allowed
    std::string user;    // empty for an anonymous login
    std::string password;
    bool passive = true;
};

// The most entries one listing takes: the window's lists were counted in 16-bit integers.
constexpr std::size_t kMaxListedEntries = 32767;

struct Listing {
    std::vector<FindData> entries;  // in the server's order
    bool truncated = false;         // there were more than kMaxListedEntries
};

// An FTP session as the FTP window and the headless command use it: Idle, then Open (through
// an FTP gateway or directly), then Connected to one server. Every call returns how it
// ended; nothing is kept between calls but the state and the current remote directory.
//
// One call at a time; cancel() may come from any thread and ends the running call, and
// every later one, with error::kOperationCancelled until the connection is made anew.
class Session {
public:
    enum class State { kIdle, kOpen, kConnected };

    explicit Session(Timeouts timeouts = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    State state() const { return state_; }

    // Opens the session. An empty gateway text connects straight to servers; any other text
    // ("host" or "host:port", port 21 by default; blanks around it are ignored) sends every
    // connection through that FTP gateway, which is asked for "user@server" ("user@server:port"
    // for a server not on port 21) with the password as given. A gateway text that names no
    // host fails with kInvalidParameter and leaves the session Idle.
    CallResult open(std::string_view gateway);
    // Ends the connection and the session: Idle.
    void close();

    // Connects and logs in at once, so a wrong password fails here (kLoginFailure); the
    // current directory is then the login directory. Only while Open.
    CallResult connect(const Login& login);
    // Ends the connection; the session stays Open.
    void disconnect();

    // Makes `directory` the current remote directory once the server accepted it; a refused
    // change keeps the old one. Relative directories are taken from the current one.
    CallResult changeDirectory(std::string_view directory);
    // Lists the current directory: at most kMaxListedEntries entries.
    CallResult list(Listing& listing);
    // Downloads `remoteName` of the current directory to `localPath`, which is replaced only
    // by a complete file: a failure leaves it as it was and no partial file.
    CallResult get(std::string_view remoteName, const std::filesystem::path& localPath,
                   TransferType type);
    // Uploads `localPath` as `remoteName` into the current directory.
    CallResult put(const std::filesystem::path& localPath, std::string_view remoteName,
                   TransferType type);

    // Ends the running call, from any thread.
    void cancel();

    const std::string& currentDirectory() const;

private:
    template <typename Call>
    CallResult onConnection(Call call);

    // The connection to cancel, also while connect() is still logging in.
    std::shared_ptr<Connection> cancellable();

    Timeouts timeouts_;
    State state_ = State::kIdle;
    std::optional<Endpoint> gateway_;
    std::shared_ptr<Connection> connection_;
    std::shared_ptr<Connection> connecting_;
    std::mutex busy_;      // one call at a time
    std::mutex pointers_;  // the two pointers above, for cancel()
};

}  // namespace varnox::ftp
