#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// Text that reaches a terminal, a log or a script: bytes from file names and servers made
// safe to show, JSON strings that every strict reader takes, and the time stamps of log lines.
namespace varnox::platform {

// The length of the well-formed UTF-8 sequence starting at `at`, or 0 when there is none:
// a stray continuation byte, a lead byte that starts nothing (C0, C1, F5 to FF), a sequence
// cut short, an overlong form, a surrogate (U+D800 to U+DFFF) or a value past U+10FFFF.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

// The bytes as a terminal may show them: control bytes (below 0x20, 0x7F and the C1
// controls U+0080 to U+009F), and bytes that are not well-formed UTF-8, written as "\xNN",
// so that no name or server reply can move the cursor, clear the screen or set a title.
std::string printable(std::string_view bytes);

// A JSON string for bytes: quotes, backslashes and control bytes escaped, well-formed UTF-8
// kept, and any other byte taken as Latin-1 ("\u00NN"), so the result is always valid JSON
// in valid UTF-8.
std::string jsonString(std::string_view bytes);

// How many columns `text` takes on a terminal, one for each character (after printable()).
std::size_t columnsOf(std::string_view text);

// The columns of the terminal behind `fd`, or 0 when it is none.
std::size_t terminalColumns(int fd);

// "2025-01-31T04:30:01+01:00": an ISO 8601 local time with its offset from UTC.
std::string localTimestamp(std::chrono::system_clock::time_point when);

}  // namespace varnox::platform
