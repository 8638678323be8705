#include "redirect/setup.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/failure.h"
#include "platform/files.h"
#include "redirect/folder_target.h"
#include "settings/settings_file.h"

namespace varnox::redirect {

namespace {

// A password file that others may read gives the password away, as ssh holds for keys.
void checkOwnerOnly(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || (info.st_mode & (S_IRGRP | S_IROTH)) == 0) {
        return;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    throw Failure(failure::kPermissionDenied,
                  "The password file " + file.string() + " can be read by others (mode " + mode +
                      "); make it readable by its owner only: chmod 600 " + file.string());
}

std::string readPassword(const std::filesystem::path& file) {
    checkOwnerOnly(file);
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
    // A folder on this machine (file:///PATH) has no login, so no password file to read.
    if (overrides.passwordFile && !isFileUrl(login.server)) {
        login.password = readPassword(*overrides.passwordFile);
    } else {
        login.password = overrides.passwordFromEnvironment.value_or(values.password);
    }
    login.identity = std::move(overrides.identity);
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
