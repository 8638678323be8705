#include "platform/progress_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/terminal_text.h"

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

namespace {

constexpr std::size_t kBarWidth = 24;

// The parts of a progress text: the amount, the rate and the time left (empty while unknown).
struct ProgressParts {
    std::string amount, rate, left;
};

ProgressParts progressParts(std::uint64_t done, std::uint64_t total,
                            std::chrono::duration<double> elapsed) {
    ProgressParts parts{describeBytes(done), {}, {}};
    if (total > 0) {
        parts.amount += " of " + describeBytes(total);
    }
    const double seconds = elapsed.count();
    if (seconds <= 0.0 || done == 0) {
        return parts;
    }
    const double rate = static_cast<double>(done) / seconds;
    parts.rate = describeBytes(static_cast<std::uint64_t>(rate)) + "/s";
    if (total > done) {
        const auto left =
            static_cast<std::uint64_t>(std::ceil(static_cast<double>(total - done) / rate));
        parts.left =
            left >= 60 ? std::to_string(left / 60) + " min " + std::to_string(left % 60) + " s left"
                       : std::to_string(left) + " s left";
    }
    return parts;
}

}  // namespace

std::string describeProgress(std::uint64_t done, std::uint64_t total,
                             std::chrono::duration<double> elapsed) {
    const ProgressParts parts = progressParts(done, total, elapsed);
    std::string text = parts.amount;
    for (const std::string* part : {&parts.rate, &parts.left}) {
        text += part->empty() ? "" : ", " + *part;
    }
    return text;
}

std::string progressLine(std::string_view label, std::uint64_t done, std::uint64_t total,
                         std::chrono::duration<double> elapsed, std::size_t columns) {
    ProgressParts parts = progressParts(done, total, elapsed);
    std::string bar(kBarWidth, ' ');
    if (total > 0) {
        const auto filled =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBarWidth, done * kBarWidth / total));
        std::fill_n(bar.begin(), filled, '#');
    }
    bar = "[" + bar + "] ";
    std::string shownLabel = std::string(label) + "  ";
    // Each step leaves out one more field, in the order they go.
    for (int step = 0; step < 5; ++step) {
        std::string text = (step < 3 ? bar : "") + (step < 4 ? shownLabel : "") + parts.amount;
        text += step < 2 && !parts.rate.empty() ? ", " + parts.rate : "";
        text += step < 1 && !parts.left.empty() ? ", " + parts.left : "";
        if (columnsOf(text) <= columns) {
            return text;
        }
    }
    return {};
}

}  // namespace varnox::platform
