#pragma once

#include <cstdint>
#include <span>

namespace varnox::uz {

// Move-to-front stage, in place. One table of 0..255 serves the whole stream.
void mtfEncode(std::span<std::uint8_t> data);
void mtfDecode(std::span<std::uint8_t> data);

}  // namespace varnox::uz
