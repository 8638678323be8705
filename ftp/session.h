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
#include "ftp/known_hosts.h"
#include "ftp/listing.h"

namespace varnox::ftp {

// How a session call ended: error 0 on success, otherwise a number of ftp/errors.h, with the
// server's last complete reply during the call (every line, each ending in CR LF; empty and
// code 0 when no reply came), and for a failure on this side its description naming the
// file (empty when the number says it all).
struct CallResult {
    std::uint32_t error = 0;
    std::uint32_t replyCode = 0;
    std::string reply;
    std::string detail;

    bool ok() const { return error == 0; }
};

// Who logs in where.
struct Login {
    std::string server;  // "host", "host:port", "[v6]:port"; an "ftp://" in front is allowed
    std::string user;    // empty for an anonymous login
    std::string password;
    bool passive = true;
    // For "sftp://[user@]host[:port][/path]" (where passive and the transfer type do not
    // apply): the private key to log in with, empty for the keys in ~/.ssh and an ssh-agent;
    // and whether "/" stands for the folder the server name points into, as the FTP window's
    // tree takes it. The user in the server name goes before `user`; without either, the
    // login name of the user who runs the program.
    std::filesystem::path identity = {};
    bool rootAtStart = false;
};

// An FTP session as the FTP window and the headless command use it: Idle, then Open (through
// an FTP gateway or directly), then Connected to one server. Every call returns how it
// ended; nothing is kept between calls but the state and the current remote directory.
//
// A server that closed the control connection (servers close idle ones, with a "421"
// reply) is met again once: the call logs in anew with the same settings, in the folder it
// names, and goes on; only a second failure is reported.
//
// One call at a time; cancel() and progress() may come from any thread. cancel() ends the
// running call with error::kOperationCancelled. No call throws: every failure, running out
// of memory included, is its result.
class Session {
public:
    enum class State { kIdle, kOpen, kConnected };

    // `trusted` keeps the certificates the user trusted by hand; `askToTrust` is asked (on
    // the calling thread) about a certificate that does not pass, and may be empty.
    explicit Session(Timeouts timeouts = {}, settings::TrustedServers* trusted = nullptr,
                     TrustQuestion askToTrust = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    State state() const { return state_; }

    // For SFTP servers: their host keys are checked against `knownHosts` (none: every key is
    // unknown); `askToTrust` is asked (on the calling thread) about a key not known, and may
    // be empty, which refuses it.
    void checkHostKeys(const KnownHosts* knownHosts, HostKeyQuestion askToTrust) {
        knownHosts_ = knownHosts;
        askToTrustHostKey_ = std::move(askToTrust);
    }

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
    // Uploads `localPath` as `remoteName` into the current directory, under a temporary name
    // first (Connection::upload); `deletedFirst` is told whether the old file had to go first.
    CallResult put(const std::filesystem::path& localPath, std::string_view remoteName,
                   TransferType type, bool* deletedFirst = nullptr);
    // Deletes `remoteName` of the current directory.
    CallResult remove(std::string_view remoteName);

    // Ends the running call, from any thread.
    void cancel();
    // How far the running call has come: bytes done and expected (0 while unknown), and
    // the entries of a listing read so far.
    struct Done {
        std::uint64_t bytes = 0;
        std::uint64_t total = 0;
        std::size_t entries = 0;
    };
    Done progress();

    const std::string& currentDirectory() const;

private:
    // Runs `call` on the connection; once more, on a new login, when the first attempt found
    // the connection closed and `again` allows it.
    template <typename Call>
    CallResult onConnection(Call call, bool again = true);

    CallResult connectNow(const Login& login);
    // The SFTP connection a login asks for, or why there is none.
    std::shared_ptr<Transport> sftpConnection(const Login& login, CallResult& failure) const;
    CallResult connectThrough(std::shared_ptr<Transport> connection);
    // The connection to cancel, also while connect() is still logging in.
    std::shared_ptr<Transport> cancellable();

    Timeouts timeouts_;
    settings::TrustedServers* trusted_;
    TrustQuestion askToTrust_;
    const KnownHosts* knownHosts_ = nullptr;
    HostKeyQuestion askToTrustHostKey_;
    State state_ = State::kIdle;
    std::optional<Endpoint> gateway_;
    std::shared_ptr<Transport> connection_;
    std::shared_ptr<Transport> connecting_;
    std::mutex busy_;      // one call at a time
    std::mutex pointers_;  // the two pointers above, for cancel()
};

}  // namespace varnox::ftp
