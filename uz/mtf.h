#pragma once

#include <cstdint>
#include <span>

namespace varnox::uz {

// Move-to-front stage, in place. One table of 0..255 serves the whole stream.
void mtfEncode(std::span<std::uint8_t> data);

// The decoding in steps: each call goes on with the table the previous one left.
class MtfDecoder {
public:
    MtfDecoder();
    void decode(std::span<std::uint8_t> data);

private:
    alignas(16) std::uint8_t table_[256];
};

}  // namespace varnox::uz
