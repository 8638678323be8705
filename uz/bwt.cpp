#include "uz/bwt.h"

#include <divsufsort.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "uz/buffer.h"
#include "uz/byte_reader.h"
#include "uz/error.h"
#include "uz/huffman.h"
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

// Writes the stage's form of `block` to `out`. The standard transform of the complemented
// block, as the suffix library makes it, lists for the rows of the standard order (the
// empty suffix first, then the others) the byte before each row's suffix, leaving out the
// row of position 0 and saying where it was (the primary index). Ours is that list with the
// block's byte 0 in the row of position 0, complemented back and reversed. First, the row
// of position 1, follows from the row of position 0 (which the row of position 1 steps to)
// by counting: the row that steps to row r is the (r - C[c])-th among the rows whose byte
// is c = block[0], where C[c] counts the rows before c's (the empty suffix's and those of
// smaller bytes).
void transformBlock(std::span<const std::uint8_t> block, SortScratch& scratch, std::uint8_t* out) {
    const std::size_t n = block.size();
    std::uint8_t* standard = scratch.complement.get();
    const std::uint8_t firstByte = block[0];
    for (std::size_t i = 0; i < n; ++i) {
        standard[i] = static_cast<std::uint8_t>(~block[i]);
    }
    // In place: the complemented block becomes its standard transform.
    const saidx_t primary =
        divbwt(standard, standard, scratch.suffixes.get(), static_cast<saidx_t>(n));
    if (primary < 0) {
        throw Error(error::kOverflow, "the suffix sort of a block failed");
    }
    const auto zeroRow = static_cast<std::size_t>(primary);
    // Row r of the standard order is our index n - r.
    std::uint8_t* bytes = out + kBwtBlockHeader;
    for (std::size_t r = 0; r < zeroRow; ++r) {
        bytes[n - r] = static_cast<std::uint8_t>(~standard[r]);
    }
    bytes[n - zeroRow] = firstByte;
    for (std::size_t r = zeroRow + 1; r <= n; ++r) {
        bytes[n - r] = static_cast<std::uint8_t>(~standard[r - 1]);
    }
    // Position 1 is the empty suffix, sorted last, when the block holds one byte.
    std::size_t oneRow = 0;
    if (n > 1) {
        const auto c = static_cast<std::uint8_t>(~firstByte);
        std::size_t before = 1;  // the empty suffix's row
        for (std::size_t i = 0; i < n; ++i) {
            before += standard[i] < c ? 1 : 0;
        }
        // The wanted row's byte is the nth c of the transform (which leaves out row zeroRow),
        // found 64 bytes at a time.
        std::size_t nth = zeroRow - before;
        std::size_t at = 0;
        for (; at + 64 <= n; at += 64) {
            std::size_t here = 0;
            for (std::size_t i = at; i < at + 64; ++i) {
                here += standard[i] == c ? 1 : 0;
            }
            if (nth < here) {
                break;
            }
            nth -= here;
        }
        while (standard[at] != c || nth-- > 0) {
            ++at;
        }
        oneRow = at < zeroRow ? at : at + 1;
    }
    putU32(out, static_cast<std::uint32_t>(n));
    putU32(out + 4, static_cast<std::uint32_t>(n - oneRow));
    putU32(out + 8, static_cast<std::uint32_t>(n - zeroRow));
}

// In a valid block the chain from First (position 1) runs through every position: after
// n - 1 steps it is at the empty suffix, sorted last (index n), the next step reaches
// position 0 (index Last) and the one after that is back at First. Corrupt data breaks
// this almost always, so checking it keeps damage from passing unnoticed.
void checkChain(const BwtBlock& block, const std::uint32_t* links, std::uint32_t at) {
    const auto n = static_cast<std::uint32_t>(block.bytes.size() - 1);
    const std::uint32_t afterEnd = links[n] >> 8;
    if (at != n || afterEnd != block.last || (links[afterEnd] >> 8) != block.first) {
        throw Error(error::kInvalidFormat,
                    "BWT block " + std::to_string(block.number) + " does not restore consistently");
    }
}

// Fills `links` for one block: each entry packs the next index (high bits) with the byte
// stored there (low 8 bits), so following the chain touches one entry per output byte.
void linkBlock(const BwtBlock& block, std::uint32_t* links) {
    const auto n = static_cast<std::uint32_t>(block.bytes.size() - 1);
    const std::uint8_t* bytes = block.bytes.data();
    const std::uint32_t last = block.last;
    ByteCounts counts{};
    countBytes(block.bytes, counts);
    std::array<std::uint32_t, 257> next{};
    for (int b = 0; b < 256; ++b) {
        next[b] = static_cast<std::uint32_t>(counts[b]);
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

constexpr std::size_t kChains = kBwtChains;

// Restores up to kBwtChains blocks one after the other into `out`; `links` holds a
// scratch array for each. Every block is linked before any byte is written, so `out` may be
// where the blocks are stored.
void decodeBlocks(const BwtBlock* blocks, std::size_t count, std::uint8_t* out,
                  std::uint32_t* const* links) {
    std::uint32_t at[kChains] = {};
    std::uint32_t length[kChains] = {};
    std::uint8_t* dest[kChains] = {};
    std::uint8_t firstByte[kChains] = {};
    std::uint32_t shortest = 0;
    for (std::size_t c = 0; c < count; ++c) {
        const BwtBlock& block = blocks[c];
        linkBlock(block, links[c]);
        length[c] = static_cast<std::uint32_t>(block.bytes.size() - 1);
        firstByte[c] = block.bytes[block.first];
        at[c] = block.first;
        shortest = c == 0 ? length[c] : std::min(shortest, length[c]);
    }
    for (std::size_t c = 0; c < count; ++c) {
        dest[c] = out;
        out += length[c];
        dest[c][0] = firstByte[c];
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

}  // namespace

std::vector<std::uint8_t> bwtEncode(std::span<const std::uint8_t> in) {
    const std::size_t blocks = (in.size() + kBwtBlockSize - 1) / kBwtBlockSize;
    std::vector<std::uint8_t> out = stageBuffer(in.size() + blocks * (kBwtBlockHeader + 1));
    std::vector<std::unique_ptr<BwtBlockSorter>> sorters(workerCount(blocks));
    forEachTask(blocks, [&](unsigned worker, std::size_t b) {
        if (!sorters[worker]) {
            sorters[worker] = std::make_unique<BwtBlockSorter>();
        }
        const std::size_t start = b * kBwtBlockSize;
        const std::size_t size = std::min(kBwtBlockSize, in.size() - start);
        sorters[worker]->encode(in.subspan(start, size),
                                out.data() + start + b * (kBwtBlockHeader + 1));
    });
    return out;
}

void checkBwtHeader(std::uint32_t n, std::uint32_t first, std::uint32_t last, std::uint64_t number,
                    std::uint64_t offset) {
    if (n == 0 || n > kBwtBlockSize) {
        throw Error(error::kInvalidFormat, blockName(number, offset) + " claims " +
                                               std::to_string(n) + " bytes (1 to 262144 allowed)");
    }
    if (first > n || last > n || first == last) {
        throw Error(error::kInvalidFormat,
                    blockName(number, offset) + " has First " + std::to_string(first) +
                        " and Last " + std::to_string(last) + ", not two different values in 0.." +
                        std::to_string(n));
    }
}

void checkBwtBytes(const BwtBlock& block, std::uint64_t offset) {
    // Both entries hold the block's first byte: the one before position 1, and the one the
    // format stores for position 0.
    if (block.bytes[block.first] != block.bytes[block.last]) {
        throw Error(error::kInvalidFormat,
                    blockName(block.number, offset) + " holds different bytes at First and Last");
    }
}

std::string blockName(std::uint64_t number, std::uint64_t offset) {
    return "BWT block " + std::to_string(number) + " (offset " + std::to_string(offset) + ")";
}

void BwtRestorer::restore(std::span<const BwtBlock> blocks, std::uint8_t* out) {
    for (std::size_t c = 0; c < blocks.size(); ++c) {
        if (blocks[c].bytes.size() > room_[c]) {
            room_[c] = blocks[c].bytes.size();
            links_[c].reset(new std::uint32_t[room_[c]]);
            pointers_[c] = links_[c].get();
        }
    }
    decodeBlocks(blocks.data(), blocks.size(), out, pointers_);
}

struct BwtBlockSorter::Scratch : SortScratch {};

BwtBlockSorter::BwtBlockSorter() : scratch_(std::make_unique<Scratch>()) {}
BwtBlockSorter::~BwtBlockSorter() = default;

void BwtBlockSorter::encode(std::span<const std::uint8_t> block, std::uint8_t* out) {
    transformBlock(block, *scratch_, out);
}

BwtBlockEncoder::BwtBlockEncoder()
    : coded_(new std::uint8_t[kBwtBlockHeader + kBwtBlockSize + 1]) {}

bool BwtBlockEncoder::reproduces(std::span<const std::uint8_t> restored, const BwtBlock& stored) {
    sorter_.encode(restored, coded_.get());
    const std::uint8_t* coded = coded_.get();
    return loadU32(coded + 4) == stored.first && loadU32(coded + 8) == stored.last &&
           std::memcmp(coded + kBwtBlockHeader, stored.bytes.data(), stored.bytes.size()) == 0;
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
