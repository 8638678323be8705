#include "game/game_config.h"

#include "game/folder_index.h"
#include "game/package_names.h"
#include "platform/files.h"

namespace varnox::game {

namespace {

bool switchValue(std::string_view text) {
    for (std::string_view yes : {"true", "yes", "on", "1"}) {
        if (sameName(text, yes)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> nonEmpty(std::vector<std::string> values) {
    std::erase_if(values, [](const std::string& value) { return value.empty(); });
    return values;
}

}  // namespace

GameConfig gameConfigFrom(const IniFile& ini) {
    GameConfig config;
    config.serverPackages = nonEmpty(ini.values("Engine.GameEngine", "ServerPackages"));
    config.redirectUrl = ini.value("IpDrv.HTTPDownload", "RedirectToURL");
    if (const auto compression = ini.value("IpDrv.HTTPDownload", "UseCompression")) {
        config.useCompression = switchValue(*compression);
    }
    config.paths = nonEmpty(ini.values("Core.System", "Paths"));
    return config;
}

fs::path iniFileOf(const fs::path& gameFolder) {
    const fs::path system = withFolderCase(gameFolder / "System");
    return withFileCase(system, "UnrealTournament.ini");
}

std::optional<GameConfig> readGameConfig(const fs::path& iniFile) {
    const std::optional<std::string> bytes = platform::readWholeFile(iniFile);
    if (!bytes) {
        return std::nullopt;
    }
    return gameConfigFrom(IniFile(*bytes));
}

std::string requestedName(const GameConfig& config, std::string_view fileName) {
    return std::string(fileName) + (config.useCompression ? ".uz" : "");
}

}  // namespace varnox::game
