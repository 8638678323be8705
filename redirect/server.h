#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "ftp/known_hosts.h"
#include "ftp/session.h"
#include "ftp/tls.h"
#include "platform/failure.h"
#include "redirect/target.h"

// The redirect server over one FTP or SFTP session, each call either done or a
// varnox::InternetFailure (the transport's numbers, ftp/errors.h) whose text names the server
// or the file.
namespace varnox::redirect {

struct ServerSetup {
    ftp::Login login;
    std::string remoteFolder;  // empty for the login folder
    // trusted_servers.txt: certificates trusted by hand in the FTP window or with
    // `varnox-redirect trust`.
    std::filesystem::path trustedFile;
    // known_hosts: the host keys of SFTP servers, as ssh keeps them.
    std::filesystem::path knownHostsFile = ftp::KnownHosts::userFile();
    ftp::Timeouts timeouts;
};

// Whether a failure of a server call leaves the connection not to be trusted with the calls
// still to come (the connection or the login failed, or the run was stopped), rather than
// concerning the one file it was about. A failure in the classic numbering never does.
bool endsTheRun(const Failure& failure);

class RedirectServer : public Target {
public:
    // `askToTrust` is asked about a certificate that neither verifies nor is trusted already,
    // and `askToTrustHostKey` about an SFTP server's host key that no known_hosts file knows;
    // without them such a certificate or key fails the connect.
    explicit RedirectServer(ServerSetup setup, ftp::TrustQuestion askToTrust = {},
                            ftp::HostKeyQuestion askToTrustHostKey = {});

    // Logs in and changes to the remote folder.
    void connect() override;
    std::vector<ftp::FindData> list() override;
    void remove(const std::string& name) override;
    // Uploads under a temporary name and renames; true when the server refused to rename
    // onto the old file, which was then deleted first.
    bool put(const std::filesystem::path& local, const std::string& name) override;
    void get(const std::string& name, const std::filesystem::path& local) override;

    std::uint64_t progress() override { return session_.progress().bytes; }
    // Once only: a cancel that came again while a cancelled upload removes its temporary name
    // would cut that short too.
    void stop() override;
    // As the server names it.
    std::string folder() const override { return session_.currentDirectory(); }
    // However the setup wrote the server.
    std::string address() const override;

private:
    void check(const ftp::CallResult& result, const std::string& what);
    void checkNotStopped() const;

    ServerSetup setup_;
    settings::TrustedServers trusted_;
    ftp::KnownHosts knownHosts_;
    ftp::Session session_;
    std::atomic<bool> stopped_{false};
};

}  // namespace varnox::redirect
