#include "packages/redirect_setup.h"

#include "platform/failure.h"
#include "platform/files.h"
#include "settings/settings_file.h"

namespace varnox::redirect {

namespace {

std::string readPassword(const std::filesystem::path& file) {
    std::optional<std::string> text = platform::readWholeFile(file);
    if (!text) {
        throw Failure(failure::kFileNotFound, "Cannot read the password file " + file.string() +
                                                  ": it is missing or not a file");
    }
    return text->substr(0, text->find_first_of("\r\n"));
}

}  // namespace

Setup::Setup(SetupOverrides overrides) : configFile_(std::move(overrides.configFile)) {
    const std::optional<settings::Settings> read = settings::readSettingsFile(configFile_);
    if (!read && overrides.configNamed) {
        throw Failure(failure::kFileNotFound,
                      "The settings file " + configFile_.string() + " does not exist");
    }
    configFound_ = read.has_value();
    const settings::Settings values = read.value_or(settings::Settings{});
    gameFolder_ = overrides.gameFolder.value_or(values.gameFolder);
    ftp::Login& login = server_.login;
    login.server = overrides.server.value_or(values.server);
    login.user = overrides.user.value_or(values.user);
    login.passive = overrides.passive;
    if (overrides.passwordFile) {
        login.password = readPassword(*overrides.passwordFile);
    } else {
        login.password = overrides.passwordFromEnvironment.value_or(values.password);
    }
    server_.remoteFolder = std::move(overrides.remoteFolder);
    server_.trustedFile = configFile_.parent_path() / "trusted_servers.txt";
}

std::string Setup::gameFolder() const {
    if (gameFolder_.empty()) {
        throw Failure(failure::kPathNotFound, configFound_
                                                  ? "The settings file " + configFile_.string() +
                                                        " names no game folder; give --game DIR"
                                                  : "No game folder: there is no settings file " +
                                                        configFile_.string() +
                                                        "; give --game DIR or --config FILE");
    }
    return gameFolder_;
}

ServerSetup Setup::server() const {
    if (!hasServer()) {
        throw Failure(failure::kInvalidValue, configFound_
                                                  ? "The settings file " + configFile_.string() +
                                                        " names no server; give --server HOST"
                                                  : "No server: there is no settings file " +
                                                        configFile_.string() +
                                                        "; give --server HOST or --config FILE");
    }
    return server_;
}

}  // namespace varnox::redirect
