#include "platform/terminal_text.h"

#include <sys/ioctl.h>

#include <cstdio>
#include <ctime>

namespace varnox::platform {

namespace {

constexpr char kHex[] = "0123456789abcdef";

// "\xNN" or "\u00NN".
void appendHexByte(std::string& out, bool json, unsigned char byte) {
    out.push_back('\\');
    out.push_back(json ? 'u' : 'x');
    if (json) {
        out.push_back('0');
        out.push_back('0');
    }
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 15]);
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
        return 1;
    }
    const std::size_t length = lead >= 0xC2 && lead < 0xE0   ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || at + length > bytes.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // The second byte's range where the lead alone does not rule out overlong forms,
    // surrogates and values past U+10FFFF.
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
        return 0;
    }
    return length;
}

std::string printable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = utf8SequenceLength(bytes, i);
        const bool control =
            byte < 0x20 || byte == 0x7F ||
            (byte == 0xC2 && length == 2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0);
        if (length == 0 || control) {
            for (std::size_t k = 0; k < (length == 0 ? 1 : length); ++k) {
                appendHexByte(out, false, static_cast<unsigned char>(bytes[i + k]));
            }
            i += length == 0 ? 1 : length;
            continue;
        }
        out.append(bytes, i, length);
        i += length;
    }
    return out;
}

std::string jsonString(std::string_view bytes) {
    std::string json = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = byte >= 0x80 ? utf8SequenceLength(bytes, i) : 1;
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += static_cast<char>(byte);
        } else if (byte >= 0x20 && byte != 0x7F && length > 0) {
            json.append(bytes, i, length);
            i += length;
            continue;
        } else {
            appendHexByte(json, true, byte);
        }
        ++i;
    }
    return json + "\"";
}

std::size_t columnsOf(std::string_view text) {
    std::size_t columns = 0;
    for (const char c : text) {
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return columns;
}

std::size_t terminalColumns(int fd) {
    winsize size{};
    return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

std::string localTimestamp(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    // strftime gives "+0100"; ISO 8601's extended form writes "+01:00".
    const std::string_view stamp = text;
    if (stamp.size() < 5) {
        return std::string(stamp);
    }
    return std::string(stamp.substr(0, stamp.size() - 2)) + ":" +
           std::string(stamp.substr(stamp.size() - 2));
}

}  // namespace varnox::platform
