// libFuzzer entry for the ini file: any bytes must read, and the game's keys come out as the
// lines the file holds, never more.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "game/game_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const varnox::game::IniFile ini(bytes);
    const varnox::game::GameConfig config = varnox::game::gameConfigFrom(ini);
    const std::size_t lines =
        static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    if (config.serverPackages.size() + config.paths.size() > lines) {
        std::abort();
    }
    return 0;
}
