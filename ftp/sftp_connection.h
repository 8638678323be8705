#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/connection.h"
#include "ftp/known_hosts.h"
#include "ftp/request_commands.h"
#include "ftp/sftp_address.h"
#include "ftp/stall_watch.h"
#include "ftp/transport.h"

typedef void CURLM;

namespace varnox::ftp {

// Where and how an SFTP connection logs in.
struct SftpSettings {
    SftpAddress address;
    std::string user;      // the login name (never empty)
    std::string password;  // empty: none is offered
    // The private key to log in with; when empty, the keys ssh tries by default
    // (~/.ssh/id_rsa, id_ecdsa, id_ed25519) and the keys of a running ssh-agent.
    std::filesystem::path identity;
    // "/" stands for the folder the address points into (its path, or the login folder), as
    // an FTP server shows each user their own folder; otherwise paths are the server's own.
    bool rootAtStart = false;
    Timeouts timeouts;
    const KnownHosts* knownHosts = nullptr;  // none: every key is unknown
    HostKeyQuestion askToTrust;              // may be empty: unknown keys are refused
};

// One SFTP connection (SSH) over one libcurl easy handle, which keeps it between requests and
// logs in again by itself when the server has closed it. It offers what Connection offers,
// with the same time-out rule and the same uploads: under a temporary name, renamed when
// complete, the old file deleted first where the server refuses to rename onto it (OpenSSH
// does). There is no text mode: every transfer moves the bytes as they are. Listings leave
// out "." and "..". A folder is changed to once the server listed it, and the listing
// after that change is that one. The host key is checked before anything is sent: a known key
// passes, an unknown one is asked about (and added to the known_hosts file on a yes), and a key
// that differs from the one known for the server fails the connect with kHostKeyChanged.
class SftpConnection : public Transport {
public:
    explicit SftpConnection(SftpSettings settings);
    ~SftpConnection() override;
    SftpConnection(const SftpConnection&) = delete;
    SftpConnection& operator=(const SftpConnection&) = delete;

    // Connects, checks the host key and logs in, trying each key in turn, then changes to the
    // address's folder.
    std::uint32_t open() override;
    std::uint32_t changeDirectory(std::string_view directory) override;
    std::uint32_t list(Listing& listing) override;
    std::uint32_t download(std::string_view remoteName, const std::filesystem::path& localPath,
                           TransferType type) override;
    std::uint32_t upload(const std::filesystem::path& localPath, std::string_view remoteName,
                         TransferType type, bool* deletedFirst) override;
    std::uint32_t remove(std::string_view remoteName) override;

    void cancel() override { cancelled_ = true; }
    Progress& progress() override { return progress_; }
    // libcurl's words for what the server refused, one "reply" (code 0) per refusal.
    const ReplyLog& replies() const override { return replies_; }
    const std::string& detail() const override { return detail_; }
    const std::string& currentDirectory() const override { return directory_; }

private:
    struct Request;
    // How a login is tried: each try is a connection of its own.
    struct Login {
        std::filesystem::path key;  // empty: none
        bool agent = false;
        bool password = false;
    };
    friend struct SftpCallbacks;

    // Starts a call; the listing of the folder last changed to is kept only when asked.
    void begin(bool keepListing = false);
    std::uint32_t perform(const std::string& path, Request& request);
    int run();
    bool stalled();
    std::uint32_t errorOf(int code, const Request& request);
    std::uint32_t tryLogin(const Login& login);
    // Changes to `target`, a full path, once the server listed it as a folder.
    std::uint32_t enter(const std::string& target);
    std::uint32_t commands(const std::vector<std::string>& lines);
    std::uint32_t uploadOnce(const std::filesystem::path& localPath, const std::string& final,
                             bool* deletedFirst);
    void removeAfterFailure(const std::string& path, bool brief);
    // A request path as the caller names it: below the start folder when "/" stands for it.
    std::string serverPath(std::string_view directory) const;
    // The host key check, for libcurl: 0 to go on.
    int checkHostKey(std::string_view blob) noexcept;
    // Hands libcurl the keys known for the server, so that it asks for a key of their type.
    void preferKnownTypes();

    SftpSettings settings_;
    CURLM* multi_ = nullptr;
    CURL* curl_ = nullptr;
    RequestCommands commands_;
    std::unique_ptr<char[]> errorText_;
    int knownTypes_ = -1;  // a memory file of the known keys, for libcurl
    std::string start_;    // the folder the address points into
    std::string directory_;
    ReplyLog replies_;
    Progress progress_;
    std::atomic<bool> cancelled_{false};
    StallWatch stall_;
    bool stalledNow_ = false;
    int curlResult_ = 0;
    std::string detail_;
    std::optional<std::uint32_t> keyProblem_;  // why the host key check refused
    std::string acceptedKey_;                  // the key this connection trusted
    bool askedNow_ = false;                    // the user was asked during this login
    std::optional<Listing> listed_;            // of the folder changed to, for the next list()
};

}  // namespace varnox::ftp
