#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace varnox::uz {

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
    // Everything not read yet; the reader is then at the end.
    std::span<const std::uint8_t> rest();

private:
    void need(std::size_t count, const char* what) const;

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

}  // namespace varnox::uz
