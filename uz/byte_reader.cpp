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
    pos_ += 4;
    return loadU32(data_.data() + pos_ - 4);
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t count, const char* what) {
    need(count, what);
    auto part = data_.subspan(pos_, count);
    pos_ += count;
    return part;
}

}  // namespace varnox::uz
