#include "settings/settings_file.h"

#include <unistd.h>

#include <cstdlib>

#include "game/game_folder.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "settings/item_reader.h"

namespace varnox::settings {

namespace {

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
        for (const Record& record : kRecords) {
            if (record.read != nullptr && key == record.key) {
                settings.*record.read = std::move(value);
                break;
            }
        }
    }
    settings.uzFolder = game::GameFolder(settings.gameFolder).uzFolderText();
    return settings;
}

std::optional<Settings> readSettingsFile(const std::filesystem::path& file) {
    const std::optional<std::string> content = platform::readWholeFile(file);
    if (!content) {
        return std::nullopt;
    }
    return parseSettings(*content);
}

std::optional<Record> unstorableField(const SettingsToWrite& values) {
    for (const Record& record : kRecords) {
        if (!storable(values.*record.written)) {
            return record;
        }
    }
    return std::nullopt;
}

std::string formatSettings(const SettingsToWrite& values) {
    std::string out;
    for (const Record& record : kRecords) {
        appendRecord(out, record.key, values.*record.written);
    }
    return out;
}

void refuseUnstorable(const std::filesystem::path& file, const SettingsToWrite& values) {
    if (const std::optional<Record> record = unstorableField(values)) {
        throw Failure(failure::kInvalidValue,
                      "Cannot write " + file.string() + ": the " + std::string(record->name()) +
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
