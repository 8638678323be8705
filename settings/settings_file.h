#pragma once

// The settings file config.txt beside the program.
//
// As written, it holds six records, one per line, each `"Key:","value"` followed by CR LF,
// with the keys UTpath:, UTDrive:, ServerIP:, Username:, Password:, UZPath: in that order.
// There is no escaping. Text stays in the system's 8-bit encoding: everything here works on
// bytes and never converts.
//
// Reading goes item by item (item_reader.h), not line by line: a record is two consecutive
// items, key and value. Keys are compared exactly, letter case included; records may stand
// in any order; a key that occurs twice takes its last value; unknown keys (UZPath: among
// them) are passed over. For input this program never writes:
//  - text after a closing quote up to the next comma or line end is ignored;
//  - an unquoted item loses its trailing blanks;
//  - blank lines are skipped, so records still pair up across them;
//  - a line with one item only shifts the pairing: its item is the key and the next item
//    (on the following line) is its value;
//  - when the items do not pair up, the last key's value is empty and is assigned like any
//    other value ("Password:" alone at the end empties the password);
//  - a quote that is never closed runs to the end of the file;
//  - a NUL byte is an ordinary character, so a key holding one matches nothing;
//  - a UTF-8 byte order mark at the start is skipped.
// Values that hold a double quote, CR or LF cannot be stored: unstorableField names them and
// writeSettingsFile refuses them rather than altering them.

#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "settings/item_reader.h"

namespace varnox::settings {

// The values both readers take from the file. A key missing from the file leaves its value
// empty.
struct StoredSettings {
    std::string utPath, utDrive, serverIp, username, password;
    bool operator==(const StoredSettings&) const = default;
};

// The settings file path for a program folder: folder + "/config.txt". The separator is
// always added, so a folder ending in "/" gives a doubled one.
std::string settingsFilePath(const std::string& programFolder);

// The five values from `text`, read as a settings file.
StoredSettings parseSettings(std::string_view text);

// Reads the settings file `file`. std::nullopt when no ordinary file is there (nothing at
// all, a folder of that name, a dangling link). Throws varnox::Failure, naming the file,
// when something is there but cannot be read, and also when the folder cannot be searched,
// so that the file's presence cannot be told.
std::optional<StoredSettings> readSettingsFile(const std::string& file);

// The six values a save writes.
struct SettingsToWrite {
    std::string utPath, utDrive, serverIp, username, password, uzPath;
};

// The first value, in file order, that cannot be stored because it holds a double quote, CR
// or LF, named by its key without the colon ("UTpath", "UTDrive", "ServerIP", "Username",
// "Password", "UZPath"); std::nullopt when all can.
std::optional<std::string> unstorableField(const SettingsToWrite& values);

// The file's content: the six records, byte-exact, each ending in CR LF. Values are taken as
// they are; check them with unstorableField first.
std::string formatSettings(const SettingsToWrite& values);

// Replaces the settings file with the six records (atomic_file.h: complete or not at all,
// owner-only permissions). Throws varnox::Failure naming the file when it cannot be written,
// the previous file then untouched; refuses values that cannot be stored with
// failure::kInvalidValue and writes nothing.
void writeSettingsFile(const std::string& file, const SettingsToWrite& values);

// The main window's settings record. All members start empty.
struct SettingsRecord {
    std::string gstUsername, gstPassword, gstServerIp, gstUTDrive, gstUTPath, gstUZPath;
    bool operator==(const SettingsRecord&) const = default;
};

// The start-up read of the settings file in `programFolder`. When the file exists: the
// values found in it go into the record (a key missing from the file leaves its member as it
// was), gstUZPath becomes gstUTPath + "/uz/", and the result is true. When there is no file:
// false, and the record is left as it is. A file that cannot be read throws
// varnox::Failure and leaves the record as it is.
bool startupRead(const std::string& programFolder, SettingsRecord& record);

}  // namespace varnox::settings
