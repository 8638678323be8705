#include "uz/mtf.h"

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
void mtfEncode(std::span<std::uint8_t> data) {
    std::uint8_t position[256];
    for (int i = 0; i < 256; ++i) {
        position[i] = static_cast<std::uint8_t>(i);
    }
    std::uint8_t front = 0;
    for (std::uint8_t& b : data) {
        const std::uint8_t value = b;
        if (value == front) {
            b = 0;
            continue;
        }
        const std::uint8_t p = position[value];
        for (std::uint8_t& q : position) {
            q = static_cast<std::uint8_t>(q + (q < p ? 1 : 0));
        }
        position[value] = 0;
        front = value;
        b = p;
    }
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
