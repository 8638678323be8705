#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// How long work is shown to the user, in the windows and on the terminal.
namespace varnox::platform {

// "512 bytes", "1.5 KiB", "23.4 MiB", "1.2 GiB".
std::string describeBytes(std::uint64_t bytes);

// "1.2 MiB of 4.0 MiB, 350 KiB/s, 8 s left" from the bytes done, the bytes expected (0
// while unknown: "1.2 MiB, 350 KiB/s") and the time spent.
std::string describeProgress(std::uint64_t done, std::uint64_t total,
                             std::chrono::duration<double> elapsed);

// A progress line for a terminal `columns` wide: "[####      ] LABEL  1.2 MiB of 4.0 MiB,
// 350 KiB/s, 8 s left". Where the whole line does not fit, whole fields go, in this order:
// the time left, the rate, the bar, the label; a field is never cut. Empty when not even the
// amount fits. `label` is shown as given (make it printable first).
std::string progressLine(std::string_view label, std::uint64_t done, std::uint64_t total,
                         std::chrono::duration<double> elapsed, std::size_t columns);

}  // namespace varnox::platform
