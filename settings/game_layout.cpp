#include "settings/game_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/failure.h"
#include "settings/item_reader.h"

namespace varnox::settings {

namespace {

constexpr std::string_view kResultPrefix = "Log: Compr";
constexpr std::size_t kResultTextStart = 16;
constexpr std::string_view kErrorPrefix = "Error:";

struct Route {
    std::string_view ending;
    std::string_view folder;
};

constexpr std::array<Route, 4> kRoutes{{
    {"unr", "/Maps/"},
    {"uax", "/Sounds/"},
    {"umx", "/Music/"},
    {"utx", "/Textures/"},
}};

}  // namespace

std::string systemFolder(const std::string& gameFolder) {
    return gameFolder + "/System";
}

std::string toolLogPath(const std::string& gameFolder) {
    return gameFolder + "/System/UCC.log";
}

std::string uzFolder(const std::string& gameFolder) {
    return gameFolder + "/uz/";
}

bool hasCompressedEnding(std::string_view name) {
    return name.ends_with("UZ") || name.ends_with("uz");
}

std::optional<std::string> packageNameOf(std::string_view compressedName) {
    if (!hasCompressedEnding(compressedName) || compressedName.size() < 3) {
        return std::nullopt;
    }
    return std::string(compressedName.substr(0, compressedName.size() - 3));
}

std::string routeFolder(const std::string& gameFolder, const std::string& uzPath,
                        std::string_view packageName) {
    if (packageName.size() >= 3) {
        const std::string_view ending = packageName.substr(packageName.size() - 3);
        for (const Route& route : kRoutes) {
            if (ending == route.ending) {
                return gameFolder + std::string(route.folder);
            }
        }
    }
    return uzPath;
}

std::vector<std::string> compressResultTexts(std::string_view logText) {
    std::vector<std::string> texts;
    ItemReader reader(logText);
    while (!reader.atEnd()) {
        const std::string item = reader.next();
        if (item.starts_with(kResultPrefix)) {
            texts.push_back(item.size() > kResultTextStart ? item.substr(kResultTextStart)
                                                           : std::string());
        }
    }
    return texts;
}

std::optional<std::string> lastToolError(std::string_view logText) {
    std::optional<std::string> found;
    std::size_t start = 0;
    while (start < logText.size()) {
        std::size_t end = logText.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = logText.size();
        }
        const std::string_view line = logText.substr(start, end - start);
        if (line.starts_with(kErrorPrefix)) {
            found = std::string(line);
        }
        start = end + 1;
    }
    return found;
}

std::optional<std::string> readToolLog(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            return std::nullopt;
        }
        throw systemFailure(error, "Cannot read " + file);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        throw systemFailure(error, "Cannot read " + file);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw systemFailure(error, "Cannot read " + file);
        }
        if (got == 0) {
            break;
        }
        content.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return content;
}

}  // namespace varnox::settings
