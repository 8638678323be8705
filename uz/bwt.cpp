#include "uz/bwt.h"

#include <divsufsort.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "uz/buffer.h"
#include "uz/byte_reader.h"
#include "uz/error.h"
#include "uz/fill_progress.h"
#include "uz/parallel.h"

namespace varnox::uz {

namespace {

void putU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Scratch space one thread reuses for every block it sorts.
struct SortScratch {
    std::unique_ptr<std::uint8_t[]> complement{new std::uint8_t[kBwtBlockSize]};
    std::unique_ptr<saidx_t[]> suffixes{new saidx_t[kBwtBlockSize]};
};

// The standard suffix array sorts the end of the text before every byte and a prefix
// before the longer suffix. With each byte complemented, the standard order is exactly
// the reverse of ours over positions 0..n-1; the empty suffix then comes last.
void sortBlock(std::span<const std::uint8_t> block, SortScratch& scratch) {
    const auto n = static_cast<saidx_t>(block.size());
    for (saidx_t i = 0; i < n; ++i) {
        scratch.complement[i] = static_cast<std::uint8_t>(~block[i]);
    }
    if (divsufsort(scratch.complement.get(), scratch.suffixes.get(), n) != 0) {
        throw Error(error::kOverflow, "the suffix sort of a block failed");
    }
}

void encodeBlock(std::span<const std::uint8_t> block, std::uint8_t* out, SortScratch& scratch) {
    sortBlock(block, scratch);
    const std::size_t n = block.size();
    const saidx_t* sa = scratch.suffixes.get();
    std::uint8_t* bytes = out + kBwtBlockHeader;
    // Position 1 is the empty suffix, sorted last, when the block holds one byte.
    std::size_t first = n;
    std::size_t last = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const auto p = static_cast<std::size_t>(sa[n - 1 - k]);
        if (p == 0) {
            bytes[k] = block[0];
            last = k;
        } else {
            bytes[k] = block[p - 1];
            if (p == 1) {
                first = k;
            }
        }
    }
    bytes[n] = block[n - 1];
    putU32(out, static_cast<std::uint32_t>(n));
    putU32(out + 4, static_cast<std::uint32_t>(first));
    putU32(out + 8, static_cast<std::uint32_t>(last));
}

struct BlockRef {
    std::span<const std::uint8_t> bytes;  // the n + 1 stored bytes
    std::uint32_t first;
    std::uint32_t last;
    std::size_t outOffset;
    std::size_t number;  // counted from 1, for messages
};

// In a valid block the chain from First (position 1) runs through every position: after
// n - 1 steps it is at the empty suffix, sorted last (index n), the next step reaches
// position 0 (index Last) and the one after that is back at First. Corrupt data breaks
// this almost always, so checking it keeps damage from passing unnoticed.
void checkChain(const BlockRef& block, const std::uint32_t* links, std::uint32_t at) {
    const auto n = static_cast<std::uint32_t>(block.bytes.size() - 1);
    const std::uint32_t afterEnd = links[n] >> 8;
    if (at != n || afterEnd != block.last || (links[afterEnd] >> 8) != block.first) {
        throw Error(error::kInvalidFormat,
                    "BWT block " + std::to_string(block.number) + " does not restore consistently");
    }
}

// Fills `links` for one block: each entry packs the next index (high bits) with the byte
// stored there (low 8 bits), so following the chain touches one entry per output byte.
void linkBlock(const BlockRef& block, std::uint32_t* links) {
    const auto n = static_cast<std::uint32_t>(block.bytes.size() - 1);
    const std::uint8_t* bytes = block.bytes.data();
    const std::uint32_t last = block.last;
    // BWT output runs of equal bytes, so one counter incremented byte after byte would wait
    // on its own last store; four counters, one per byte position modulo 4, do not.
    std::array<std::array<std::uint32_t, 256>, 4> counts{};
    std::uint32_t i = 0;
    for (; i + 4 <= n + 1; i += 4) {
        ++counts[0][bytes[i]];
        ++counts[1][bytes[i + 1]];
        ++counts[2][bytes[i + 2]];
        ++counts[3][bytes[i + 3]];
    }
    for (; i <= n; ++i) {
        ++counts[0][bytes[i]];
    }
    std::array<std::uint32_t, 257> next{};
    for (int b = 0; b < 256; ++b) {
        next[b] = counts[0][b] + counts[1][b] + counts[2][b] + counts[3][b];
    }
    // Entry Last counts as a 257th symbol after every byte value.
    --next[bytes[last]];
    ++next[256];
    std::uint32_t total = 0;
    for (auto& slot : next) {
        const std::uint32_t count = slot;
        slot = total;
        total += count;
    }
    auto place = [&](std::uint32_t from, std::uint32_t to) {
        for (std::uint32_t k = from; k < to; ++k) {
            links[next[bytes[k]]++] = (k << 8) | bytes[k];
        }
    };
    place(0, last);
    links[next[256]] = (last << 8) | bytes[last];
    place(last + 1, n + 1);
}

// How many blocks one thread restores together. Following a block's chain is one memory
// wait after another; following several chains in the same loop overlaps their waits.
constexpr std::size_t kChains = 4;

// Restores up to kChains blocks; `links` holds a scratch array for each.
void decodeBlocks(const BlockRef* blocks, std::size_t count, std::uint8_t* out,
                  std::uint32_t* const* links) {
    std::uint32_t at[kChains] = {};
    std::uint32_t length[kChains] = {};
    std::uint8_t* dest[kChains] = {};
    std::uint32_t shortest = 0;
    for (std::size_t c = 0; c < count; ++c) {
        const BlockRef& block = blocks[c];
        linkBlock(block, links[c]);
        length[c] = static_cast<std::uint32_t>(block.bytes.size() - 1);
        dest[c] = out + block.outOffset;
        dest[c][0] = block.bytes[block.first];
        at[c] = block.first;
        shortest = c == 0 ? length[c] : std::min(shortest, length[c]);
    }
    std::uint32_t k = 1;
    if (count == kChains) {
        for (; k < shortest; ++k) {
            for (std::size_t c = 0; c < kChains; ++c) {
                const std::uint32_t e = links[c][at[c]];
                dest[c][k] = static_cast<std::uint8_t>(e);
                at[c] = e >> 8;
            }
        }
    }
    for (std::size_t c = 0; c < count; ++c) {
        for (std::uint32_t j = k; j < length[c]; ++j) {
            const std::uint32_t e = links[c][at[c]];
            dest[c][j] = static_cast<std::uint8_t>(e);
            at[c] = e >> 8;
        }
        checkChain(blocks[c], links[c], at[c]);
    }
}

// Scratch arrays for one thread's decodeBlocks.
struct LinkScratch {
    std::unique_ptr<std::uint32_t[]> arrays[kChains];
    std::uint32_t* pointers[kChains] = {};

    std::uint32_t* const* get(std::size_t count) {
        for (std::size_t c = 0; c < count; ++c) {
            if (!arrays[c]) {
                arrays[c].reset(new std::uint32_t[kBwtBlockSize + 1]);
                pointers[c] = arrays[c].get();
            }
        }
        return pointers;
    }
};

}  // namespace

std::vector<std::uint8_t> bwtEncode(std::span<const std::uint8_t> in) {
    const std::size_t blocks = (in.size() + kBwtBlockSize - 1) / kBwtBlockSize;
    std::vector<std::uint8_t> out = stageBuffer(in.size() + blocks * (kBwtBlockHeader + 1));
    std::vector<std::unique_ptr<SortScratch>> scratch(workerCount(blocks));
    forEachTask(blocks, [&](unsigned worker, std::size_t b) {
        if (!scratch[worker]) {
            scratch[worker] = std::make_unique<SortScratch>();
        }
        const std::size_t start = b * kBwtBlockSize;
        const std::size_t size = std::min(kBwtBlockSize, in.size() - start);
        encodeBlock(in.subspan(start, size), out.data() + start + b * (kBwtBlockHeader + 1),
                    *scratch[worker]);
    });
    return out;
}

namespace {

// Reads and checks one block at the reader's position; `streamOffset` is where the reader's
// data starts in the stream, for messages.
BlockRef readBlock(ByteReader& reader, std::size_t streamOffset, std::size_t number,
                   std::size_t outOffset) {
    const std::string where = "BWT block " + std::to_string(number) + " (offset " +
                              std::to_string(streamOffset + reader.position()) + ")";
    const std::uint32_t n = reader.u32("a BWT block header");
    const std::uint32_t first = reader.u32("a BWT block header");
    const std::uint32_t last = reader.u32("a BWT block header");
    if (n == 0 || n > kBwtBlockSize) {
        throw Error(error::kInvalidFormat,
                    where + " claims " + std::to_string(n) + " bytes (1 to 262144 allowed)");
    }
    if (first > n || last > n || first == last) {
        throw Error(error::kInvalidFormat, where + " has First " + std::to_string(first) +
                                               " and Last " + std::to_string(last) +
                                               ", not two different values in 0.." +
                                               std::to_string(n));
    }
    if (reader.remaining() < std::size_t{n} + 1) {
        throw Error(error::kInputPastEnd, "the data ends inside " + where);
    }
    const auto bytes = reader.bytes(std::size_t{n} + 1, "a BWT block");
    // Both entries hold the block's first byte: the one before position 1, and the one the
    // format stores for position 0.
    if (bytes[first] != bytes[last]) {
        throw Error(error::kInvalidFormat, where + " holds different bytes at First and Last");
    }
    return {bytes, first, last, outOffset, number};
}

std::uint32_t peekU32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::vector<std::uint8_t> bwtDecode(std::span<const std::uint8_t> in) {
    std::vector<BlockRef> blocks;
    ByteReader reader(in);
    std::size_t outSize = 0;
    while (reader.remaining() > 0) {
        blocks.push_back(readBlock(reader, 0, blocks.size() + 1, outSize));
        outSize += blocks.back().bytes.size() - 1;
    }

    std::vector<std::uint8_t> out = stageBuffer(outSize);
    const std::size_t groups = (blocks.size() + kChains - 1) / kChains;
    std::vector<LinkScratch> scratch(workerCount(groups));
    forEachTask(groups, [&](unsigned worker, std::size_t group) {
        const std::size_t count = std::min(kChains, blocks.size() - kChains * group);
        decodeBlocks(&blocks[kChains * group], count, out.data(), scratch[worker].get(count));
    });
    return out;
}

std::size_t bwtDecodeAsFilled(std::span<const std::uint8_t> in, FillProgress& progress,
                              std::uint8_t* out) {
    LinkScratch scratch;
    std::size_t offset = 0;
    std::size_t outSize = 0;
    std::size_t number = 0;
    // The stream offset just past the block starting at `at`, if its header is there and
    // its size is one a block can have; `at` itself otherwise.
    auto blockEnd = [&](std::size_t at, std::size_t filled) {
        if (filled < at + kBwtBlockHeader) {
            return at;
        }
        const std::uint32_t n = peekU32(in.data() + at);
        return (n >= 1 && n <= kBwtBlockSize) ? at + kBwtBlockHeader + n + 1 : at;
    };
    for (;;) {
        std::size_t filled = progress.waitFor(offset + kBwtBlockHeader);
        if (filled == offset) {
            break;  // the writer finished at a block boundary
        }
        // Wait until kChains blocks are there (all blocks but the last have the same size),
        // or the stream has ended, so that they can be restored together.
        filled = progress.waitFor(
            std::max(offset + kChains * (kBwtBlockHeader + 1 + kBwtBlockSize), offset + 1));
        // This block, and the ones after it that are complete, restored together.
        BlockRef blocks[kChains];
        std::size_t count = 0;
        for (; count < kChains; ++count) {
            const std::size_t end = blockEnd(offset, filled);
            if (count > 0 && (end == offset || end > filled)) {
                break;
            }
            ByteReader reader(in.subspan(offset, filled - offset));
            blocks[count] = readBlock(reader, offset, ++number, outSize);
            outSize += blocks[count].bytes.size() - 1;
            offset += reader.position();
        }
        decodeBlocks(blocks, count, out, scratch.get(count));
    }
    return outSize;
}

std::vector<std::int32_t> bwtSuffixOrder(std::span<const std::uint8_t> block) {
    if (block.size() > kBwtBlockSize) {
        throw Error(error::kInvalidValue, "a BWT block holds at most 262144 bytes");
    }
    SortScratch scratch;
    sortBlock(block, scratch);
    std::vector<std::int32_t> order;
    order.reserve(block.size() + 1);
    for (std::size_t k = block.size(); k > 0; --k) {
        order.push_back(scratch.suffixes[k - 1]);
    }
    order.push_back(static_cast<std::int32_t>(block.size()));
    return order;
}

}  // namespace varnox::uz
