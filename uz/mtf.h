#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace varnox::uz {

// Move-to-front stage, in place. One table of 0..255 serves the whole stream.
void mtfEncode(std::span<std::uint8_t> data);

// The encoding of one piece of the stream without the table the pieces before it leave, so
// that pieces can be coded at the same time. encode() codes the piece as if the table
// started in order 0..255. That is already right for every byte but the first of each value
// in the piece: the others depend only on the values coded since the same value came last.
// fix() then corrects those first ones, given the table at the piece's start, and turns that
// table into the table at the piece's end.
class MtfPieceEncoder {
public:
    using Table = std::array<std::uint8_t, 256>;

    // Uses wide vectors where the processor has them (see MtfDecoder), unless told not to.
    explicit MtfPieceEncoder(bool wideVectors = true);
    // Also adds the counts of the coded bytes to `counts`.
    void encode(std::span<std::uint8_t> data, std::span<std::uint64_t, 256> counts);
    // `data` is what encode() coded. `counts` holds the counts of its bytes and is kept right
    // as they change.
    void fix(std::span<std::uint8_t> data, Table& table,
             std::span<std::uint64_t, 256> counts) const;

private:
    std::array<std::size_t, 256> firstAt_{};  // where each value first comes, in order
    std::array<std::uint8_t, 256> firstValue_{};
    Table recent_{};     // the values that came, the latest first
    unsigned used_ = 0;  // how many values came
    bool wide_ = false;
};

// The decoding in steps: each call goes on with the table the previous one left. It uses
// wide vectors (AVX-512 with byte permutes) where the processor has them, unless told not to.
class MtfDecoder {
public:
    explicit MtfDecoder(bool wideVectors = true);
    void decode(std::span<std::uint8_t> data);

private:
    alignas(16) std::uint8_t table_[256];
    bool wide_ = false;
};

}  // namespace varnox::uz
