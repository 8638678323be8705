#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace varnox::uz {

// Run-length stage with run lead 5: a run of 5 to 255 equal bytes becomes five copies and
// a count byte; longer runs split at 255; shorter runs stay as they are.
std::vector<std::uint8_t> rleEncode(std::span<const std::uint8_t> in);

// Inverse of rleEncode. Raises uz::Error when a count byte is missing or below 5, or when
// the output would exceed `sizeLimit` bytes. The output is sized by a first pass over the
// data, so it is exactly as large as the data decodes to.
std::vector<std::uint8_t> rleDecode(std::span<const std::uint8_t> in,
                                    std::size_t sizeLimit = static_cast<std::size_t>(-1));

}  // namespace varnox::uz
