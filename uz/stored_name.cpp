#include "uz/stored_name.h"

#include <limits>
#include <optional>

#include "uz/compact_index.h"
#include "uz/error.h"

namespace varnox::uz {

namespace {

// Code points of valid UTF-8 text (no overlong forms, no surrogates), or nothing.
std::optional<std::vector<char32_t>> utf8CodePoints(std::string_view text) {
    std::vector<char32_t> points;
    points.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xe0) == 0xc0) {
            extra = 1;
            cp = lead & 0x1f;
            minimum = 0x80;
        } else if ((lead & 0xf0) == 0xe0) {
            extra = 2;
            cp = lead & 0x0f;
            minimum = 0x800;
        } else if ((lead & 0xf8) == 0xf0) {
            extra = 3;
            cp = lead & 0x07;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i - 1 < static_cast<std::size_t>(extra)) {
            return std::nullopt;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(text[i + k]);
            if ((cont & 0xc0) != 0x80) {
                return std::nullopt;
            }
            cp = (cp << 6) | (cont & 0x3f);
        }
        if (cp < minimum || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) {
            return std::nullopt;
        }
        points.push_back(cp);
        i += 1 + extra;
    }
    return points;
}

void appendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
}

std::int32_t checkedLength(std::size_t units) {
    // units + 1 for the NUL must fit the compact index's int32.
    if (units >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw Error(error::kInvalidValue, "the stored name is too long");
    }
    return static_cast<std::int32_t>(units + 1);
}

}  // namespace

void writeStoredName(std::string_view name, std::vector<std::uint8_t>& out) {
    if (name.find('\0') != std::string_view::npos) {
        throw Error(error::kInvalidValue, "the stored name holds a NUL character");
    }
    if (name.empty()) {
        writeCompactIndex(0, out);
        return;
    }
    auto points = utf8CodePoints(name);
    if (!points) {
        // Not UTF-8: keep the bytes as they are, one character each.
        writeCompactIndex(checkedLength(name.size()), out);
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        return;
    }
    bool singleByte = true;
    for (char32_t cp : *points) {
        singleByte = singleByte && cp <= 0xff;
    }
    if (singleByte) {
        writeCompactIndex(checkedLength(points->size()), out);
        for (char32_t cp : *points) {
            out.push_back(static_cast<std::uint8_t>(cp));
        }
        out.push_back(0);
        return;
    }
    std::vector<std::uint16_t> units;
    for (char32_t cp : *points) {
        if (cp >= 0x10000) {
            units.push_back(static_cast<std::uint16_t>(0xd800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xdc00 + ((cp - 0x10000) & 0x3ff)));
        } else {
            units.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    units.push_back(0);
    writeCompactIndex(-checkedLength(units.size() - 1), out);
    for (std::uint16_t u : units) {
        out.push_back(static_cast<std::uint8_t>(u & 0xff));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
}

std::string readStoredName(ByteReader& in) {
    const std::int64_t n = readCompactIndex(in);
    if (n == 0) {
        return {};
    }
    std::string name;
    if (n > 0) {
        if (static_cast<std::uint64_t>(n) > in.remaining()) {
            throw Error(error::kInputPastEnd, "the data ends inside the stored name (" +
                                                  std::to_string(n) + " characters)");
        }
        auto chars = in.bytes(static_cast<std::size_t>(n), "the stored name");
        if (chars.back() != 0) {
            throw Error(error::kInvalidFormat, "the stored name does not end in NUL");
        }
        for (std::uint8_t c : chars) {
            if (c == 0) {
                break;
            }
            appendUtf8(c, name);
        }
        return name;
    }
    const std::uint64_t count = static_cast<std::uint64_t>(-n);
    if (count > in.remaining() / 2) {
        throw Error(error::kInputPastEnd, "the data ends inside the stored name (" +
                                              std::to_string(count) + " UTF-16 units)");
    }
    auto bytes = in.bytes(static_cast<std::size_t>(count) * 2, "the stored name");
    auto unit = [&](std::size_t i) -> char32_t { return bytes[2 * i] | (bytes[2 * i + 1] << 8); };
    if (unit(count - 1) != 0) {
        throw Error(error::kInvalidFormat, "the stored name does not end in NUL");
    }
    for (std::size_t i = 0; i < count; ++i) {
        char32_t u = unit(i);
        if (u == 0) {
            break;
        }
        if (u >= 0xd800 && u <= 0xdbff && i + 1 < count && unit(i + 1) >= 0xdc00 &&
            unit(i + 1) <= 0xdfff) {
            u = 0x10000 + ((u - 0xd800) << 10) + (unit(i + 1) - 0xdc00);
            ++i;
        } else if (u >= 0xd800 && u <= 0xdfff) {
            u = 0xfffd;
        }
        appendUtf8(u, name);
    }
    return name;
}

}  // namespace varnox::uz
