#pragma once

// The settings file config.txt.
//
// As written, it holds the six records of kRecords, one per line in that order, each
// `"Key:","value"` followed by CR LF. There is no escaping. Values are kept as the bytes they
// were read as: nothing here converts text.
//
// Reading goes item by item (item_reader.h says how items are cut), not line by line: a
// record is two consecutive items, key and value. Keys are compared exactly, letter case
// included; records may stand in any order; a key that occurs twice takes its last value;
// unknown keys (UZPath: among them) are passed over. So a line with one item only shifts the
// pairing (its item is the key, the next line's first item its value), and when the items do
// not pair up the last key's value is empty and is assigned like any other ("Password:"
// alone at the end empties the password).
// Values that hold a double quote, CR or LF cannot be stored: unstorableField names them and
// writeSettingsFile refuses them rather than altering them.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace varnox::settings {

// What the program knows from config.txt. A key missing from the file leaves its value
// empty; with no file at all every value is empty, uzFolder included.
struct Settings {
    std::string gameFolder;  // UTpath:
    std::string gameDrive;   // UTDrive:
    std::string server;      // ServerIP:
    std::string user;        // Username:
    std::string password;    // Password:
    // The folder for compressed files as the commands name it: the game folder and "/uz/",
    // whatever UZPath: says (game_folder.h).
    std::string uzFolder;

    bool operator==(const Settings&) const = default;
};

// The settings file in a program folder.
std::filesystem::path settingsFilePath(const std::filesystem::path& programFolder);

// Where the program keeps its settings file: beside the program when the program's folder
// can be written (the portable layout), otherwise $XDG_CONFIG_HOME/varnox/config.txt, or
// ~/.config/varnox/config.txt when that is not set. A program under /usr (the Debian
// package) always uses the latter: that folder is the system's, also where root could write.
// The folder is made, readable by its owner only, when the file is first written.
std::filesystem::path settingsFileFor(const std::filesystem::path& programFolder);

// The file of the certificates trusted by hand (the FTP window asks; varnox-redirect only
// reads it): beside the settings file, so both programs share it.
inline std::filesystem::path trustedServersFileFor(const std::filesystem::path& settingsFile) {
    return settingsFile.parent_path() / "trusted_servers.txt";
}

// The values of `text`, read as a settings file.
Settings parseSettings(std::string_view text);

// Reads the settings file. Nothing when no ordinary file is there; throws varnox::Failure,
// naming the file, when something is there but cannot be read.
std::optional<Settings> readSettingsFile(const std::filesystem::path& file);

// The six values a save writes.
struct SettingsToWrite {
    std::string gameFolder, gameDrive, server, user, password, uzFolder;
};

// The six records of the file, in the order they are written.
enum class Field { kGameFolder, kGameDrive, kServer, kUser, kPassword, kUzFolder };

// One record: its key as the file spells it, the value a save writes, and the value a read
// fills (none for UZPath:, which the readers pass over).
struct Record {
    Field field;
    std::string_view key;
    std::string SettingsToWrite::*written;
    std::string Settings::*read;

    // The key without its colon, as messages name the field: "UTpath", "UZPath".
    std::string_view name() const { return key.substr(0, key.size() - 1); }
};
inline constexpr std::array<Record, 6> kRecords{{
    {Field::kGameFolder, "UTpath:", &SettingsToWrite::gameFolder, &Settings::gameFolder},
    {Field::kGameDrive, "UTDrive:", &SettingsToWrite::gameDrive, &Settings::gameDrive},
    {Field::kServer, "ServerIP:", &SettingsToWrite::server, &Settings::server},
    {Field::kUser, "Username:", &SettingsToWrite::user, &Settings::user},
    {Field::kPassword, "Password:", &SettingsToWrite::password, &Settings::password},
    {Field::kUzFolder, "UZPath:", &SettingsToWrite::uzFolder, nullptr},
}};

// The first record, in file order, whose value cannot be stored because it holds a double
// quote, CR or LF; nothing when all can.
std::optional<Record> unstorableField(const SettingsToWrite& values);

// Throws failure::kInvalidValue, naming the file and the field, for a value that cannot be
// stored.
void refuseUnstorable(const std::filesystem::path& file, const SettingsToWrite& values);

// The file's content: the six records, byte-exact, each ending in CR LF.
std::string formatSettings(const SettingsToWrite& values);

// Replaces the settings file with the six records: complete or not at all, readable by its
// owner only. Throws varnox::Failure naming the file when it cannot be written, the previous
// file then untouched; refuses values that cannot be stored with failure::kInvalidValue and
// writes nothing.
void writeSettingsFile(const std::filesystem::path& file, const SettingsToWrite& values);

}  // namespace varnox::settings
