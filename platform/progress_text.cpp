#include "platform/progress_text.h"

#include <cmath>
#include <cstdio>

namespace varnox::platform {

std::string describeBytes(std::uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string describeProgress(std::uint64_t done, std::uint64_t total,
                             std::chrono::duration<double> elapsed) {
    std::string text = describeBytes(done);
    if (total > 0) {
        text += " of " + describeBytes(total);
    }
    const double seconds = elapsed.count();
    if (seconds <= 0.0 || done == 0) {
        return text;
    }
    const double rate = static_cast<double>(done) / seconds;
    text += ", " + describeBytes(static_cast<std::uint64_t>(rate)) + "/s";
    if (total > done) {
        const auto left =
            static_cast<std::uint64_t>(std::ceil(static_cast<double>(total - done) / rate));
        text += left >= 60 ? ", " + std::to_string(left / 60) + " min " +
                                 std::to_string(left % 60) + " s left"
                           : ", " + std::to_string(left) + " s left";
    }
    return text;
}

}  // namespace varnox::platform
