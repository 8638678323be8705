#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace varnox::uz {

// The little-endian 32-bit value in the four bytes at `p`.
inline std::uint32_t loadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads little-endian fields from a byte range and raises uz::Error (input past end) naming
// the field when the range holds too few bytes for it. Never reads outside the range.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }

    std::uint8_t byte(const char* what);
    std::uint32_t u32(const char* what);
    std::span<const std::uint8_t> bytes(std::size_t count, const char* what);

private:
    void need(std::size_t count, const char* what) const;

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

}  // namespace varnox::uz
