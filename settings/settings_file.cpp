#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

#include "platform/failure.h"
#include "settings/atomic_file.h"

namespace varnox::settings {

namespace {

// Where a read puts the five values it takes from the file.
struct Targets {
    std::string* utPath;
    std::string* serverIp;
    std::string* username;
    std::string* password;
    std::string* utDrive;
};

struct KnownKey {
    std::string_view text;
    std::string* Targets::*target;
};

// The keys the readers take, in the order they are compared.
constexpr std::array<KnownKey, 5> kReadKeys{{
    {"UTpath:", &Targets::utPath},
    {"ServerIP:", &Targets::serverIp},
    {"Username:", &Targets::username},
    {"Password:", &Targets::password},
    {"UTDrive:", &Targets::utDrive},
}};

// Assigns the value of every record with a known key, in file order; keys that do not occur
// leave their targets as they are.
void readRecords(std::string_view text, const Targets& targets) {
    ItemReader reader(text);
    while (!reader.atEnd()) {
        const std::string key = reader.next();
        std::string value = reader.next();
        for (const KnownKey& known : kReadKeys) {
            if (key == known.text) {
                *(targets.*known.target) = std::move(value);
                break;
            }
        }
    }
}

// Errors from stat that mean nothing is there to read.
bool meansNoFile(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP || error == ENAMETOOLONG;
}

// The whole content of the ordinary file `file`; std::nullopt when there is none.
std::optional<std::string> readOrdinaryFile(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        const int error = errno;
        if (meansNoFile(error)) {
            return std::nullopt;
        }
        throw systemFailure(error, "Cannot read " + file);
    }
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    // O_NONBLOCK: should the file be swapped for a pipe after the test, opening it must not
    // wait for a writer.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (meansNoFile(error)) {
            return std::nullopt;
        }
        throw systemFailure(error, "Cannot read " + file);
    }
    std::string content;
    int error = 0;
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::array<char, 4096> buffer{};
    while (error == 0) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno != EINTR) {
                error = errno;
            }
            continue;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (error != 0) {
        throw systemFailure(error, "Cannot read " + file);
    }
    return content;
}

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

std::string settingsFilePath(const std::string& programFolder) {
    return programFolder + "/config.txt";
}

StoredSettings parseSettings(std::string_view text) {
    StoredSettings settings;
    readRecords(text, {&settings.utPath, &settings.serverIp, &settings.username, &settings.password,
                       &settings.utDrive});
    return settings;
}

std::optional<StoredSettings> readSettingsFile(const std::string& file) {
    const std::optional<std::string> content = readOrdinaryFile(file);
    if (!content) {
        return std::nullopt;
    }
    return parseSettings(*content);
}

std::optional<std::string> unstorableField(const SettingsToWrite& values) {
    const std::array<std::pair<const char*, const std::string*>, 6> fields{{
        {"UTpath", &values.utPath},
        {"UTDrive", &values.utDrive},
        {"ServerIP", &values.serverIp},
        {"Username", &values.username},
        {"Password", &values.password},
        {"UZPath", &values.uzPath},
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
    appendRecord(out, "UTpath:", values.utPath);
    appendRecord(out, "UTDrive:", values.utDrive);
    appendRecord(out, "ServerIP:", values.serverIp);
    appendRecord(out, "Username:", values.username);
    appendRecord(out, "Password:", values.password);
    appendRecord(out, "UZPath:", values.uzPath);
    return out;
}

void writeSettingsFile(const std::string& file, const SettingsToWrite& values) {
    if (const std::optional<std::string> field = unstorableField(values)) {
        throw Failure(failure::kInvalidValue,
                      "Cannot write " + file + ": the " + *field +
                          " value holds a double quote or a line end, which the settings "
                          "file cannot store");
    }
    writeFileAtomically(file, formatSettings(values));
}

bool startupRead(const std::string& programFolder, SettingsRecord& record) {
    const std::optional<std::string> content = readOrdinaryFile(settingsFilePath(programFolder));
    if (!content) {
        return false;
    }
    readRecords(*content, {&record.gstUTPath, &record.gstServerIp, &record.gstUsername,
                           &record.gstPassword, &record.gstUTDrive});
    record.gstUZPath = record.gstUTPath + "/uz/";
    return true;
}

}  // namespace varnox::settings
