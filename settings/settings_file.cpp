#include "settings/settings_file.h"

#include <unistd.h>

#include <array>
#include <cstdlib>

#include "platform/failure.h"
#include "platform/files.h"
#include "settings/game_folder.h"
#include "settings/item_reader.h"

namespace varnox::settings {

namespace {

struct KnownKey {
    std::string_view text;
    std::string Settings::*value;
};

// The keys the readers take, in the order they are compared.
constexpr std::array<KnownKey, 5> kReadKeys{{
    {"UTpath:", &Settings::gameFolder},
    {"ServerIP:", &Settings::server},
    {"Username:", &Settings::user},
    {"Password:", &Settings::password},
    {"UTDrive:", &Settings::gameDrive},
}};

bool storable(const std::string& value) {
    return value.find_first_of("\"\r\n") == value.npos;
}

void appendRecord(std::string& out, std::string_view key, const std::string& value) {
    out += '"';
    out += key;
    out += "\",\"";
    out += value;
    out += "\"\r\n";
}

}  // namespace

std::filesystem::path settingsFilePath(const std::filesystem::path& programFolder) {
    return programFolder / "config.txt";
}

std::filesystem::path settingsFileFor(const std::filesystem::path& programFolder) {
    // Under /usr the folder belongs to the system's packages, even where root may write.
    const bool systemFolder = programFolder.native().starts_with("/usr/");
    if (!systemFolder && ::access(programFolder.c_str(), W_OK) == 0) {
        return settingsFilePath(programFolder);
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::filesystem::path(config) / "varnox" / "config.txt";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / ".config" / "varnox" / "config.txt";
    }
    return settingsFilePath(programFolder);
}

Settings parseSettings(std::string_view text) {
    Settings settings;
    ItemReader reader(text);
    while (!reader.atEnd()) {
        const std::string key = reader.next();
        std::string value = reader.next();
        for (const KnownKey& known : kReadKeys) {
            if (key == known.text) {
                settings.*known.value = std::move(value);
                break;
            }
        }
    }
    settings.uzFolder = GameFolder(settings.gameFolder).uzFolderText();
    return settings;
}

std::optional<Settings> readSettingsFile(const std::filesystem::path& file) {
    const std::optional<std::string> content = platform::readWholeFile(file);
    if (!content) {
        return std::nullopt;
    }
    return parseSettings(*content);
}

std::optional<std::string> unstorableField(const SettingsToWrite& values) {
    const std::array<std::pair<const char*, const std::string*>, 6> fields{{
        {"UTpath", &values.gameFolder},
        {"UTDrive", &values.gameDrive},
        {"ServerIP", &values.server},
        {"Username", &values.user},
        {"Password", &values.password},
        {"UZPath", &values.uzFolder},
    }};
    for (const auto& [name, value] : fields) {
        if (!storable(*value)) {
            return std::string(name);
        }
    }
    return std::nullopt;
}

std::string formatSettings(const SettingsToWrite& values) {
    std::string out;
    appendRecord(out, "UTpath:", values.gameFolder);
    appendRecord(out, "UTDrive:", values.gameDrive);
    appendRecord(out, "ServerIP:", values.server);
    appendRecord(out, "Username:", values.user);
    appendRecord(out, "Password:", values.password);
    appendRecord(out, "UZPath:", values.uzFolder);
    return out;
}

void refuseUnstorable(const std::filesystem::path& file, const SettingsToWrite& values) {
    if (const std::optional<std::string> field = unstorableField(values)) {
        throw Failure(failure::kInvalidValue,
                      "Cannot write " + file.string() + ": the " + *field +
                          " value holds a double quote or a line end, which the settings "
                          "file cannot store");
    }
}

void writeSettingsFile(const std::filesystem::path& file, const SettingsToWrite& values) {
    refuseUnstorable(file, values);
    platform::createFolderFor(file);
    platform::writeFileAtomically(file, formatSettings(values), platform::FileAccess::kOwnerOnly);
}

}  // namespace varnox::settings
