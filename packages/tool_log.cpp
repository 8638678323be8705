#include "packages/tool_log.h"

#include "settings/item_reader.h"

namespace varnox::packages {

namespace {

constexpr std::string_view kResultPrefix = "Log: Compr";
constexpr std::size_t kResultTextStart = 16;
constexpr std::string_view kErrorPrefix = "Error:";

}  // namespace

std::vector<std::string> compressResultTexts(std::string_view logText) {
    std::vector<std::string> texts;
    settings::ItemReader reader(logText);
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

}  // namespace varnox::packages
