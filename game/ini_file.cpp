#include "game/ini_file.h"

#include "game/package_names.h"

namespace varnox::game {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

void appendUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE (after its mark) as UTF-8; a lone surrogate or odd last byte becomes U+FFFD.
std::string fromUtf16(std::string_view bytes) {
    std::string text;
    const auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        if (i + 1 == bytes.size()) {
            appendUtf8(0xFFFD, text);
            break;
        }
        const char16_t first = unit(i);
        if (first >= 0xD800 && first < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            appendUtf8(0x10000 + ((first - 0xD800) << 10) + (unit(i + 2) - 0xDC00), text);
            i += 2;
        } else if (first >= 0xD800 && first < 0xE000) {
            appendUtf8(0xFFFD, text);
        } else {
            appendUtf8(first, text);
        }
    }
    return text;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

IniFile::IniFile(std::string_view bytes) {
    std::string decoded;
    if (bytes.starts_with(kUtf16Mark)) {
        decoded = fromUtf16(bytes.substr(kUtf16Mark.size()));
        bytes = decoded;
    } else if (bytes.starts_with(kUtf8Mark)) {
        bytes.remove_prefix(kUtf8Mark.size());
    }
    std::string section;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        line = trimmed(line);
        if (line.starts_with('[')) {
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos) {
                section = trimmed(line.substr(1, close - 1));
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            lines_.push_back({section, std::string(trimmed(line.substr(0, equals))),
                              std::string(unquoted(trimmed(line.substr(equals + 1))))});
        }
    }
}

std::vector<std::string> IniFile::values(std::string_view section, std::string_view key) const {
    std::vector<std::string> found;
    for (const Line& line : lines_) {
        if (sameName(line.key, key) && sameName(line.section, section)) {
            found.push_back(line.value);
        }
    }
    return found;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    for (const Line& line : lines_) {
        if (sameName(line.key, key) && sameName(line.section, section)) {
            return line.value;
        }
    }
    return std::nullopt;
}

}  // namespace varnox::game
