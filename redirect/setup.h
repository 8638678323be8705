#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/failure.h"
#include "redirect/server.h"

// Where a headless run takes its game folder and server from: the settings file the windows
// use, with what the command line names in its place.
namespace varnox::redirect {

struct SetupOverrides {
    std::filesystem::path configFile;  // the settings file to read
    bool configNamed = false;          // named by the user: it must then exist
    std::optional<std::string> gameFolder;
    std::optional<std::string> server;
    std::optional<std::string> user;
    std::optional<std::filesystem::path> passwordFile;  // its first line is the password
    std::optional<std::string> passwordFromEnvironment;
    std::filesystem::path identity;  // SFTP: the private key to log in with
    bool passive = true;
    std::string remoteFolder;
};

// The settings read once. Errors are varnox::Failure values naming the file concerned.
class Setup {
public:
    // Reads the settings file (a missing file that was not named counts as empty) and the
    // password file.
    explicit Setup(SetupOverrides overrides);

    // The game folder; fails when none is known.
    std::string gameFolder() const;
    bool hasServer() const { return !server_.login.server.empty(); }
    // The server, the login and where trusted certificates are kept; fails when no server
    // is known.
    ServerSetup server() const;

private:
    // The failure for a value that neither the settings file nor the command line gives.
    Failure notNamed(int number, const std::string& what, const std::string& option) const;

    std::filesystem::path configFile_;
    bool configFound_ = false;
    std::string gameFolder_;
    ServerSetup server_;
};

}  // namespace varnox::redirect
