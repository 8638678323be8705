#include "redirect/setup.h"

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
    server_.trustedFile = settings::trustedServersFileFor(configFile_);
}

Failure Setup::notNamed(int number, const std::string& what, const std::string& option) const {
    const std::string file = configFile_.string();
    return Failure(number, configFound_ ? "The settings file " + file + " names no " + what +
                                              "; give " + option
                                        : "No " + what + ": there is no settings file " + file +
                                              "; give " + option + " or --config FILE");
}

std::string Setup::gameFolder() const {
    if (gameFolder_.empty()) {
        throw notNamed(failure::kPathNotFound, "game folder", "--game DIR");
    }
    return gameFolder_;
}

ServerSetup Setup::server() const {
    if (!hasServer()) {
        throw notNamed(failure::kInvalidValue, "server", "--server HOST");
    }
    return server_;
}

}  // namespace varnox::redirect
