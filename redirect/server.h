#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ftp/session.h"
#include "ftp/tls.h"

// The redirect server over one FTP session, each call either done or a varnox::Failure whose
// number is the transport's (ftp/errors.h) and whose text names the server or the file.
namespace varnox::redirect {

struct ServerSetup {
    ftp::Login login;
    std::string remoteFolder;  // empty for the login folder
    // trusted_servers.txt: certificates trusted by hand in the FTP window. No question is
    // asked here: a certificate that neither verifies nor is in this file fails the connect.
    std::filesystem::path trustedFile;
    ftp::Timeouts timeouts;
};

class RedirectServer {
public:
    explicit RedirectServer(ServerSetup setup);

    // Logs in and changes to the remote folder.
    void connect();
    std::vector<ftp::FindData> list();
    void remove(const std::string& name);
    // Uploads under a temporary name and renames; true when the server refused to rename
    // onto the old file, which was then deleted first.
    bool put(const std::filesystem::path& local, const std::string& name);

    ftp::Session::Done progress() { return session_.progress(); }
    // The folder uploaded into, as the server names it.
    const std::string& folder() const { return session_.currentDirectory(); }

private:
    void check(const ftp::CallResult& result, const std::string& what);

    ServerSetup setup_;
    ftp::TrustedServers trusted_;
    ftp::Session session_;
};

}  // namespace varnox::redirect
