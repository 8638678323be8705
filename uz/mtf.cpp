#include "uz/mtf.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
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

// The encoder keeps each value's current position instead of the table. Coding a value at
// position p moves every value in front of it one place back: one comparison and one add
// per value, 256 byte lanes that the compiler turns into a few vector instructions, so the
// cost does not grow with p as a search down the table would. Built for wider vectors too,
// taken where the processor has them.
// (Not under the thread sanitizer: the loader runs the choosing code before the sanitizer's
// runtime is ready.)
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#endif
void codeFromFresh(std::span<std::uint8_t> data, std::uint8_t (&final)[256],
                   std::uint64_t* counts, std::size_t* firstAt, std::uint8_t* firstValue,
                   unsigned& used) {
    alignas(64) std::uint8_t position[256];
    for (int i = 0; i < 256; ++i) {
        position[i] = static_cast<std::uint8_t>(i);
    }
    bool came[256] = {};
    // No value is known to be in front before the first: that one is a first use.
    unsigned front = 256;
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint8_t value = data[i];
        if (value == front) {
            data[i] = 0;
            ++zeros;
            continue;
        }
        const std::uint8_t p = position[value];
        for (std::uint8_t& q : position) {
            q = static_cast<std::uint8_t>(q + (q < p ? 1 : 0));
        }
        position[value] = 0;
        front = value;
        data[i] = p;
        ++counts[p];
        if (!came[value]) {
            came[value] = true;
            firstAt[used] = i;
            firstValue[used++] = value;
        }
    }
    counts[0] += zeros;
    std::copy_n(position, 256, final);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define VARNOX_MTF_WIDE 1

// The encoding with the positions in four 64-byte registers (AVX-512 with byte
// permutes): a value's position comes out of them spread over every lane, ready for the
// comparison with all the others, without a store and a load in between.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void codeFromFreshWide(
    std::span<std::uint8_t> data, std::uint8_t (&final)[256], std::uint64_t* counts,
    std::size_t* firstAt, std::uint8_t* firstValue, unsigned& used) {
    alignas(64) std::uint8_t lanes[64];
    for (int k = 0; k < 64; ++k) {
        lanes[k] = static_cast<std::uint8_t>(k);
    }
    const __m512i one = _mm512_set1_epi8(1);
    __m512i part0 = _mm512_load_si512(lanes);
    __m512i part1 = _mm512_add_epi8(part0, _mm512_set1_epi8(64));
    __m512i part2 = _mm512_add_epi8(part0, _mm512_set1_epi8(-128));
    __m512i part3 = _mm512_add_epi8(part0, _mm512_set1_epi8(-64));
    bool came[256] = {};
    unsigned front = 256;  // as in codeFromFresh
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint8_t value = data[i];
        if (value == front) {
            data[i] = 0;
            ++zeros;
            continue;
        }
        const __m512i at = _mm512_set1_epi8(static_cast<char>(value));
        const __m512i low = _mm512_permutex2var_epi8(part0, at, part1);
        const __m512i high = _mm512_permutex2var_epi8(part2, at, part3);
        const __m512i p = _mm512_mask_blend_epi8(value >= 128 ? ~0ull : 0ull, low, high);
        // Every position in front moves back one; the value's own becomes 0.
        const std::uint64_t own = std::uint64_t{1} << (value % 64);
        const unsigned part = value / 64;
        part0 = _mm512_mask_add_epi8(part0, _mm512_cmplt_epu8_mask(part0, p), part0, one);
        part1 = _mm512_mask_add_epi8(part1, _mm512_cmplt_epu8_mask(part1, p), part1, one);
        part2 = _mm512_mask_add_epi8(part2, _mm512_cmplt_epu8_mask(part2, p), part2, one);
        part3 = _mm512_mask_add_epi8(part3, _mm512_cmplt_epu8_mask(part3, p), part3, one);
        part0 = _mm512_maskz_mov_epi8(part == 0 ? ~own : ~0ull, part0);
        part1 = _mm512_maskz_mov_epi8(part == 1 ? ~own : ~0ull, part1);
        part2 = _mm512_maskz_mov_epi8(part == 2 ? ~own : ~0ull, part2);
        part3 = _mm512_maskz_mov_epi8(part == 3 ? ~own : ~0ull, part3);
        front = value;
        const auto code = static_cast<std::uint8_t>(_mm512_cvtsi512_si32(p));
        data[i] = code;
        ++counts[code];
        if (!came[value]) {
            came[value] = true;
            firstAt[used] = i;
            firstValue[used++] = value;
        }
    }
    counts[0] += zeros;
    _mm512_storeu_si512(final, part0);
    _mm512_storeu_si512(final + 64, part1);
    _mm512_storeu_si512(final + 128, part2);
    _mm512_storeu_si512(final + 192, part3);
}

// The decoding with the whole table in four 64-byte registers (AVX-512 with byte
// permutes): each step is one permute per register, with indices that depend on the position
// alone, so a step waits on little more than one permute of the step before, and no
// position costs more than another.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void decodeWide(std::span<std::uint8_t> data,
                                                                       std::uint8_t* table) {
    alignas(64) std::uint8_t lanes[64];
    for (int k = 0; k < 64; ++k) {
        lanes[k] = static_cast<std::uint8_t>(k);
    }
    const __m512i one = _mm512_set1_epi8(1);
    // Which entries each register holds; and entry k of a register as the index of lane k
    // of the second of the two registers a permute takes.
    const __m512i entries0 = _mm512_load_si512(lanes);
    const __m512i entries1 = _mm512_add_epi8(entries0, _mm512_set1_epi8(64));
    const __m512i entries2 = _mm512_add_epi8(entries0, _mm512_set1_epi8(-128));
    const __m512i entries3 = _mm512_add_epi8(entries0, _mm512_set1_epi8(-64));
    const __m512i own = entries1;
    __m512i part0 = _mm512_loadu_si512(table);
    __m512i part1 = _mm512_loadu_si512(table + 64);
    __m512i part2 = _mm512_loadu_si512(table + 128);
    __m512i part3 = _mm512_loadu_si512(table + 192);
    for (std::uint8_t& b : data) {
        const __m512i at = _mm512_set1_epi8(static_cast<char>(b));
        // Entries up to the position take the entry before them: their index minus one,
        // which for entry 0 of a register is entry 63 of the register before. Entry 0 of
        // the table takes the entry at the position, from the first two registers or the
        // last two.
        const __m512i index1 =
            _mm512_mask_sub_epi8(own, _mm512_cmple_epu8_mask(entries1, at), own, one);
        const __m512i index2 =
            _mm512_mask_sub_epi8(own, _mm512_cmple_epu8_mask(entries2, at), own, one);
        const __m512i index3 =
            _mm512_mask_sub_epi8(own, _mm512_cmple_epu8_mask(entries3, at), own, one);
        __m512i index0 =
            _mm512_mask_sub_epi8(entries0, _mm512_cmple_epu8_mask(entries0, at), entries0, one);
        index0 = _mm512_mask_mov_epi8(index0, 1, at);
        const __m512i far = _mm512_permutex2var_epi8(part2, at, part3);
        const __m512i next0 = _mm512_permutex2var_epi8(part0, index0, part1);
        part3 = _mm512_permutex2var_epi8(part2, index3, part3);
        part2 = _mm512_permutex2var_epi8(part1, index2, part2);
        part1 = _mm512_permutex2var_epi8(part0, index1, part1);
        part0 = _mm512_mask_mov_epi8(next0, b >= 128 ? 1 : 0, far);
        b = static_cast<std::uint8_t>(_mm512_cvtsi512_si32(part0));
    }
    _mm512_storeu_si512(table, part0);
    _mm512_storeu_si512(table + 64, part1);
    _mm512_storeu_si512(table + 128, part2);
    _mm512_storeu_si512(table + 192, part3);
}

bool haveWideVectors() {
    static const bool have = __builtin_cpu_supports("avx512f") &&
                             __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vbmi");
    return have;
}
#endif

}  // namespace

MtfPieceEncoder::MtfPieceEncoder(bool wideVectors) {
#if defined(VARNOX_MTF_WIDE)
    wide_ = wideVectors && haveWideVectors();
#else
    (void)wideVectors;
#endif
}

void MtfPieceEncoder::encode(std::span<std::uint8_t> data, std::span<std::uint64_t, 256> counts) {
    std::uint8_t position[256];
    used_ = 0;
#if defined(VARNOX_MTF_WIDE)
    if (wide_) {
        codeFromFreshWide(data, position, counts.data(), firstAt_.data(), firstValue_.data(),
                          used_);
    } else {
        codeFromFresh(data, position, counts.data(), firstAt_.data(), firstValue_.data(), used_);
    }
#else
    codeFromFresh(data, position, counts.data(), firstAt_.data(), firstValue_.data(), used_);
#endif
    // The values used come first, in the order of their last use.
    for (unsigned k = 0; k < used_; ++k) {
        recent_[position[firstValue_[k]]] = firstValue_[k];
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
    std::array<std::uint64_t, 256> counts{};
    encoder.encode(data, counts);
    MtfPieceEncoder::Table table;
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<std::uint8_t>(i);
    }
    encoder.fix(data, table, counts);
}

MtfDecoder::MtfDecoder(bool wideVectors) {
    for (int i = 0; i < 256; ++i) {
        table_[i] = static_cast<std::uint8_t>(i);
    }
#if defined(VARNOX_MTF_WIDE)
    wide_ = wideVectors && haveWideVectors();
#else
    (void)wideVectors;
#endif
}

void MtfDecoder::decode(std::span<std::uint8_t> data) {
#if defined(VARNOX_MTF_WIDE)
    if (wide_) {
        decodeWide(data, table_);
        return;
    }
#endif
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
