#pragma once

#include <cstdint>
#include <vector>

#include "uz/byte_reader.h"

namespace varnox::uz {

// The format's compact index: 1 to 5 bytes holding a sign and up to 35 bits of magnitude.
// Byte 0: sign (bit 7), "more" (bit 6), the low 6 bits; bytes 1 to 3: "more" (bit 7) and
// 7 bits each; byte 4: the last 8 bits.
void writeCompactIndex(std::int32_t value, std::vector<std::uint8_t>& out);

// Reads one compact index. The result may lie outside the 32-bit range (a fifth byte can
// carry more bits than a writer ever sets); callers bound it by what they expect.
std::int64_t readCompactIndex(ByteReader& in);

}  // namespace varnox::uz
