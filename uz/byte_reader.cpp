#include "uz/byte_reader.h"

#include <string>

#include "uz/error.h"

namespace varnox::uz {

void ByteReader::need(std::size_t count, const char* what) const {
    if (count > remaining()) {
        throw Error(error::kInputPastEnd, std::string("the data ends inside ") + what);
    }
}

std::uint8_t ByteReader::byte(const char* what) {
    need(1, what);
    return data_[pos_++];
}

std::uint32_t ByteReader::u32(const char* what) {
    need(4, what);
    const std::uint8_t* p = data_.data() + pos_;
    pos_ += 4;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t count, const char* what) {
    need(count, what);
    auto part = data_.subspan(pos_, count);
    pos_ += count;
    return part;
}

std::span<const std::uint8_t> ByteReader::rest() {
    auto part = data_.subspan(pos_);
    pos_ = data_.size();
    return part;
}

}  // namespace varnox::uz
