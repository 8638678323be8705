#include "uz/rle.h"

#include <algorithm>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "uz/error.h"

namespace varnox::uz {

namespace {

constexpr std::size_t kRunLead = 5;
constexpr std::size_t kLongestRun = 255;

// The first j >= from (below n) where d[j] equals d[j - 1], or n. Most data has few equal
// neighbours, so 16 pairs at a time are compared while none is found.
inline std::size_t nextEqualPair(const std::uint8_t* d, std::size_t from, std::size_t n) {
    std::size_t j = from;
#if defined(__SSE2__)
    while (j + 16 <= n) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + j));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + j - 1));
        const int equal = _mm_movemask_epi8(_mm_cmpeq_epi8(here, before));
        if (equal != 0) {
            return j + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(equal)));
        }
        j += 16;
    }
#endif
    while (j < n && d[j] != d[j - 1]) {
        ++j;
    }
    return j;
}

// The index of the fifth of five equal bytes in a row, searching from `from` (whose byte
// starts a new count), or n when there is none.
inline std::size_t fifthEqualByte(const std::uint8_t* d, std::size_t from, std::size_t n) {
    std::size_t j = from + 1;
    for (;;) {
        j = nextEqualPair(d, j, n);
        if (j >= n) {
            return n;
        }
        // d[j - 1] == d[j]: count the stretch from j - 1 on.
        std::size_t equal = 2;
        while (equal < kRunLead && j + 1 < n && d[j + 1] == d[j]) {
            ++j;
            ++equal;
        }
        if (equal == kRunLead) {
            return j;
        }
        // The stretch ended short of five; a new one can start at its last byte at the
        // earliest, but it may not reach back past `from`.
        j += 1;
        if (j >= n) {
            return n;
        }
    }
}

// Splits the input into literal stretches (bytes outside any run of five or more, which
// the stage copies as they are) and runs of 5 to 255 equal bytes, in order:
// literal(start, length) and run(byte, length).
template <typename Literal, typename Run>
void splitRuns(std::span<const std::uint8_t> in, Literal&& literal, Run&& run) {
    const std::size_t n = in.size();
    const std::uint8_t* d = in.data();
    std::size_t start = 0;  // first byte not yet handed out
    std::size_t i = 0;      // where the search for the next run goes on
    while (i < n) {
        const std::size_t j = fifthEqualByte(d, i, n);
        if (j >= n) {
            break;
        }
        const std::size_t runStart = j + 1 - kRunLead;
        if (runStart > start) {
            literal(start, runStart - start);
        }
        const std::size_t limit = std::min(n, runStart + kLongestRun);
        std::size_t end = j + 1;
        while (end < limit && d[end] == d[runStart]) {
            ++end;
        }
        run(d[runStart], end - runStart);
        start = i = end;
    }
    if (n > start) {
        literal(start, n - start);
    }
}

// How many bytes from the start of `d` (n bytes) equal `byte`, eight at a time while they do.
std::size_t equalPrefix(const std::uint8_t* d, std::size_t n, std::uint8_t byte) {
    const std::uint64_t pattern = 0x0101010101010101ull * byte;
    std::size_t i = 0;
    for (std::uint64_t word; i + 8 <= n; i += 8) {
        std::memcpy(&word, d + i, 8);
        if (word != pattern) {
            break;
        }
    }
    while (i < n && d[i] == byte) {
        ++i;
    }
    return i;
}

// How many bytes at the end of `d` (n bytes, at least one) equal its last byte.
std::size_t equalSuffix(const std::uint8_t* d, std::size_t n) {
    const std::uint8_t byte = d[n - 1];
    const std::uint64_t pattern = 0x0101010101010101ull * byte;
    std::size_t i = n;
    for (std::uint64_t word; i >= 8; i -= 8) {
        std::memcpy(&word, d + i - 8, 8);
        if (word != pattern) {
            break;
        }
    }
    while (i > 0 && d[i - 1] == byte) {
        --i;
    }
    return n - i;
}

}  // namespace

void RleEncoder::stretch(std::uint8_t byte, std::size_t length) {
    std::uint8_t run[kRunLead + 1];
    std::fill_n(run, kRunLead, byte);
    while (length > 0) {
        const std::size_t part = std::min(length, kLongestRun);
        run[kRunLead] = static_cast<std::uint8_t>(part);
        out_.write({run, part < kRunLead ? part : kRunLead + 1});
        length -= part;
    }
}

void RleEncoder::encode(std::span<const std::uint8_t> in) {
    const std::uint8_t* d = in.data();
    const std::size_t n = in.size();
    std::size_t i = 0;
    if (carried_ > 0) {
        i = equalPrefix(d, n, last_);
        if (i < n) {
            stretch(last_, carried_ + i);
            carried_ = 0;
        } else {
            carried_ += n;
        }
    }
    if (i < n) {
        // The stretch the piece ends with may go on in the next: it waits. Before it, every
        // count starts and ends inside the piece.
        const std::size_t tail = std::min(n - i, equalSuffix(d, n));
        splitRuns(
            in.subspan(i, n - i - tail),
            [&](std::size_t start, std::size_t length) {
                out_.write(in.subspan(i + start, length));
            },
            [&](std::uint8_t byte, std::size_t length) { stretch(byte, length); });
        last_ = d[n - 1];
        carried_ = tail;
    }
    // Whole runs of 255 in what waits are done with: the count starts again after each.
    if (carried_ >= kLongestRun) {
        stretch(last_, carried_ - carried_ % kLongestRun);
        carried_ %= kLongestRun;
    }
}

void RleEncoder::finish() {
    stretch(last_, carried_);
    carried_ = 0;
}

std::vector<std::uint8_t> rleEncode(std::span<const std::uint8_t> in) {
    VectorSink out;
    RleEncoder encoder(out);
    encoder.encode(in);
    encoder.finish();
    return std::move(out.bytes);
}

RleDecoder::RleDecoder(Output out, std::uint64_t sizeLimit, bool checkEncoding)
    : out_(std::move(out)), sizeLimit_(sizeLimit), checkEncoding_(checkEncoding) {}

void RleDecoder::makeRoom() {
    if (room_ == kPiece) {
        flush();
        return;
    }
    // The buffer grows with the output up to a whole piece, so small data takes little.
    room_ = std::min(kPiece, std::max<std::size_t>(4096, 2 * room_));
    std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[room_]);
    if (filled_ > 0) {
        std::memcpy(larger.get(), buffer_.get(), filled_);
    }
    buffer_ = std::move(larger);
}

void RleDecoder::grow(std::size_t count) {
    if (count > sizeLimit_ - produced_) {
        throw Error(error::kOverflow, "the data decodes to more than the limit of " +
                                          std::to_string(sizeLimit_) + " bytes");
    }
    produced_ += count;
}

void RleDecoder::flush() {
    if (filled_ > 0) {
        out_(std::span<std::uint8_t>(buffer_.get(), filled_));
        filled_ = 0;
    }
}

void RleDecoder::copy(const std::uint8_t* bytes, std::size_t count) {
    grow(count);
    while (count > 0) {
        if (filled_ == room_) {
            makeRoom();
        }
        const std::size_t part = std::min(count, room_ - filled_);
        std::memcpy(buffer_.get() + filled_, bytes, part);
        filled_ += part;
        bytes += part;
        count -= part;
    }
}

void RleDecoder::fill(std::uint8_t byte, std::size_t count) {
    grow(count);
    while (count > 0) {
        if (filled_ == room_) {
            makeRoom();
        }
        const std::size_t part = std::min(count, room_ - filled_);
        std::memset(buffer_.get() + filled_, byte, part);
        filled_ += part;
        count -= part;
    }
}

void RleDecoder::endRun(std::span<const std::uint8_t> in, std::size_t at) {
    const std::uint8_t count = in[at];
    if (count < kRunLead) {
        throw Error(error::kInvalidFormat, "the run-length data has a count of " +
                                               std::to_string(count) + " at offset " +
                                               std::to_string(offset_ + at) + " (at least 5)");
    }
    fill(last_, count - kRunLead);
    countNext_ = false;
    equal_ = 0;
    if (checkEncoding_ && count < kLongestRun) {
        if (at + 1 < in.size()) {
            if (in[at + 1] == last_) {
                throw Error(error::kInvalidFormat,
                            "the run-length data goes on with the same byte after a run of " +
                                std::to_string(count) + " at offset " +
                                std::to_string(offset_ + at) + ", where encoding makes one run");
            }
        } else {
            shortRunEnded_ = true;
        }
    }
}

void RleDecoder::decode(std::span<const std::uint8_t> in) {
    const std::size_t n = in.size();
    const std::uint8_t* d = in.data();
    std::size_t i = 0;
    if (shortRunEnded_ && n > 0) {
        shortRunEnded_ = false;
        if (d[0] == last_) {
            throw Error(error::kInvalidFormat,
                        "the run-length data goes on with the same byte after a short run at "
                        "offset " +
                            std::to_string(offset_ - 1) + ", where encoding makes one run");
        }
    }
    // The run carried over from the previous piece, byte by byte until it ends.
    while (i < n && (countNext_ || equal_ > 0)) {
        if (countNext_) {
            endRun(in, i++);
        } else if (d[i] == last_) {
            copy(d + i++, 1);
            countNext_ = ++equal_ == kRunLead;
        } else {
            equal_ = 0;
        }
    }
    // From here each stretch starts a new count: everything up to the fifth equal byte in a
    // row is copied as it is, then the count byte says how many more copies follow.
    std::size_t start = i;
    while (start < n) {
        const std::size_t j = fifthEqualByte(d, start, n);
        if (j >= n) {
            copy(d + start, n - start);
            // The equal bytes at the end (fewer than five) go on counting in the next piece.
            last_ = d[n - 1];
            equal_ = 1;
            while (equal_ < n - start && equal_ < kRunLead - 1 && d[n - 1 - equal_] == last_) {
                ++equal_;
            }
            break;
        }
        copy(d + start, j + 1 - start);
        last_ = d[j];
        if (j + 1 == n) {
            countNext_ = true;
            break;
        }
        endRun(in, j + 1);
        start = j + 2;
    }
    offset_ += n;
}

void RleDecoder::finish() {
    if (countNext_) {
        throw Error(error::kInputPastEnd,
                    "the run-length data ends where a count byte belongs (offset " +
                        std::to_string(offset_) + ")");
    }
    flush();
}

std::vector<std::uint8_t> rleDecode(std::span<const std::uint8_t> in, std::uint64_t sizeLimit) {
    std::vector<std::uint8_t> out;
    RleDecoder decoder(
        [&](std::span<std::uint8_t> piece) { out.insert(out.end(), piece.begin(), piece.end()); },
        sizeLimit);
    decoder.decode(in);
    decoder.finish();
    return out;
}

}  // namespace varnox::uz
