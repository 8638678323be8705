#include "uz/mtf.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnox::uz {

namespace {

// Moves the entry at `position` of the decoder's table, whose value is `value`, to the
// front. Byte streams after the BWT mostly hit the first few entries, so a move within the
// first 16 is one vector blend (SSE2, part of every x86-64) rather than a loop whose length
// depends on the data.
inline void moveToFront(std::uint8_t* table, unsigned position, std::uint8_t value) {
#if defined(__SSE2__)
    if (position < 16) {
        const __m128i lanes = _mm_set_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        auto* front = reinterpret_cast<__m128i*>(table);
        const __m128i old = _mm_load_si128(front);
        // Lanes 0..position take their left neighbour; lane 0 then takes the value.
        const __m128i moved = _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(position + 1)), lanes);
        const __m128i merged = _mm_or_si128(_mm_and_si128(moved, _mm_slli_si128(old, 1)),
                                            _mm_andnot_si128(moved, old));
        _mm_store_si128(front, _mm_or_si128(merged, _mm_cvtsi32_si128(value)));
        return;
    }
#endif
    std::memmove(table + 1, table, position);
    table[0] = value;
}

}  // namespace

// The encoder keeps each value's current position instead of the table. Coding a value at
// position p moves every value in front of it one place back: one comparison and one add
// per value, 256 byte lanes that the compiler turns into a few vector instructions, so the
// cost does not grow with p as a search down the table would.
void MtfPieceEncoder::encode(std::span<std::uint8_t> data) {
    std::uint8_t position[256];
    for (int i = 0; i < 256; ++i) {
        position[i] = static_cast<std::uint8_t>(i);
    }
    bool came[256] = {};
    used_ = 0;
    // No value is known to be in front before the first: that one is a first use.
    unsigned front = 256;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint8_t value = data[i];
        if (value == front) {
            data[i] = 0;
            continue;
        }
        const std::uint8_t p = position[value];
        for (std::uint8_t& q : position) {
            q = static_cast<std::uint8_t>(q + (q < p ? 1 : 0));
        }
        position[value] = 0;
        front = value;
        data[i] = p;
        if (!came[value]) {
            came[value] = true;
            firstAt_[used_] = i;
            firstValue_[used_++] = value;
        }
    }
    for (int v = 0; v < 256; ++v) {
        if (came[v]) {
            recent_[position[v]] = static_cast<std::uint8_t>(v);
        }
    }
}

// The first use of a value stands behind the values used before it in the piece and behind
// those of the others that the start table has in front of it: a count of bits below its
// place in a mask of the start table's places not used yet.
void MtfPieceEncoder::fix(std::span<std::uint8_t> data, Table& table,
                          std::span<std::uint64_t, 256> counts) const {
    std::uint8_t place[256];
    for (int i = 0; i < 256; ++i) {
        place[table[i]] = static_cast<std::uint8_t>(i);
    }
    std::uint64_t unused[4] = {~0ull, ~0ull, ~0ull, ~0ull};
    for (unsigned k = 0; k < used_; ++k) {
        const unsigned at = place[firstValue_[k]];
        const unsigned word = at / 64;
        unsigned ahead = k + static_cast<unsigned>(std::popcount(
                                 unused[word] & ((std::uint64_t{1} << (at % 64)) - 1)));
        for (unsigned w = 0; w < word; ++w) {
            ahead += static_cast<unsigned>(std::popcount(unused[w]));
        }
        unused[word] &= ~(std::uint64_t{1} << (at % 64));
        std::uint8_t& coded = data[firstAt_[k]];
        --counts[coded];
        ++counts[ahead];
        coded = static_cast<std::uint8_t>(ahead);
    }
    Table next;
    std::copy_n(recent_.begin(), used_, next.begin());
    unsigned filled = used_;
    for (unsigned i = 0; i < 256; ++i) {
        if ((unused[i / 64] >> (i % 64)) & 1) {
            next[filled++] = table[i];
        }
    }
    table = next;
}

void mtfEncode(std::span<std::uint8_t> data) {
    MtfPieceEncoder encoder;
    encoder.encode(data);
    MtfPieceEncoder::Table table;
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<std::uint8_t>(i);
    }
    std::array<std::uint64_t, 256> counts{};
    for (const std::uint8_t b : data) {
        ++counts[b];
    }
    encoder.fix(data, table, counts);
}

MtfDecoder::MtfDecoder() {
    for (int i = 0; i < 256; ++i) {
        table_[i] = static_cast<std::uint8_t>(i);
    }
}

void MtfDecoder::decode(std::span<std::uint8_t> data) {
    for (std::uint8_t& b : data) {
        const unsigned position = b;
        const std::uint8_t value = table_[position];
        if (position != 0) {
            moveToFront(table_, position, value);
        }
        b = value;
    }
}

}  // namespace varnox::uz
