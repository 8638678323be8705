#include "uz/compact_index.h"

namespace varnox::uz {

void writeCompactIndex(std::int32_t value, std::vector<std::uint8_t>& out) {
    const bool negative = value < 0;
    // The magnitude of INT32_MIN does not fit an int32; take it in 64 bits.
    std::uint64_t magnitude = negative
                                  ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value))
                                  : static_cast<std::uint64_t>(value);

    std::uint8_t first = static_cast<std::uint8_t>(magnitude & 0x3f);
    if (negative) {
        first |= 0x80;
    }
    magnitude >>= 6;
    if (magnitude != 0) {
        first |= 0x40;
    }
    out.push_back(first);
    for (int i = 1; i <= 3 && magnitude != 0; ++i) {
        std::uint8_t next = static_cast<std::uint8_t>(magnitude & 0x7f);
        magnitude >>= 7;
        if (magnitude != 0) {
            next |= 0x80;
        }
        out.push_back(next);
    }
    if (magnitude != 0) {
        out.push_back(static_cast<std::uint8_t>(magnitude));
    }
}

std::int64_t readCompactIndex(ByteReader& in) {
    const char* what = "a compact index";
    const std::uint8_t first = in.byte(what);
    std::int64_t magnitude = first & 0x3f;
    bool more = (first & 0x40) != 0;
    int shift = 6;
    for (int i = 1; i <= 3 && more; ++i) {
        const std::uint8_t next = in.byte(what);
        magnitude |= static_cast<std::int64_t>(next & 0x7f) << shift;
        shift += 7;
        more = (next & 0x80) != 0;
    }
    if (more) {
        magnitude |= static_cast<std::int64_t>(in.byte(what)) << shift;
    }
    return (first & 0x80) != 0 ? -magnitude : magnitude;
}

}  // namespace varnox::uz
