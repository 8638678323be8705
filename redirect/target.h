#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ftp/listing.h"
#include "ftp/session.h"
#include "ftp/tls.h"

// Where the redirect's files go: a server folder over FTP or SFTP, or a folder on this machine
// that a web server here serves. Each call is either done or a varnox::Failure whose text
// names the server or the file.
namespace varnox::redirect {

struct ServerSetup;

class Target {
public:
    virtual ~Target() = default;

    // Reaches the folder: logs in and changes to it, or finds it on this machine.
    virtual void connect() = 0;
    virtual std::vector<ftp::FindData> list() = 0;
    virtual void remove(const std::string& name) = 0;
    // Writes `local` under a temporary name and renames it to `name`; true when the old file
    // had to be deleted first because the rename onto it was refused.
    virtual bool put(const std::filesystem::path& local, const std::string& name) = 0;
    // Copies `name` to `local`, which is replaced only by a complete file.
    virtual void get(const std::string& name, const std::filesystem::path& local) = 0;
    // The bytes the running put or get has moved so far.
    virtual std::uint64_t progress() = 0;
    // Ends the running call, from any thread, and refuses the calls after it
    // (ftp::error::kOperationCancelled).
    virtual void stop() = 0;
    // The folder written into, as the target names it.
    virtual std::string folder() const = 0;
    // Where the folder is: the server's host and port ("127.0.0.1:2121"), or "file://".
    virtual std::string address() const = 0;
    // The server and folder together, as records of what was sent there name them.
    virtual std::string key() const { return address() + " " + folder(); }
};

// The target the server name stands for: a folder on this machine for file:///PATH, else
// an FTP or SFTP server. The questions are asked about a certificate or host key that is
// not trusted yet.
std::unique_ptr<Target> openTarget(const ServerSetup& setup, ftp::TrustQuestion askToTrust = {},
                                   ftp::HostKeyQuestion askToTrustHostKey = {});

}  // namespace varnox::redirect
