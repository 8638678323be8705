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

constexpr std::size_t kChains = kBwtChains;

// Restores up to kBwtChains blocks one after the other into `out`; `links` holds a
// scratch array for each.
void decodeBlocks(const BwtBlock* blocks, std::size_t count, std::uint8_t* out,
                  std::uint32_t* const* links) {
    std::uint32_t at[kChains] = {};
    std::uint32_t length[kChains] = {};
    std::uint8_t* dest[kChains] = {};
    std::uint32_t shortest = 0;
    for (std::size_t c = 0; c < count; ++c) {
        const BwtBlock& block = blocks[c];
        linkBlock(block, links[c]);
        length[c] = static_cast<std::uint32_t>(block.bytes.size() - 1);
        dest[c] = out;
        out += length[c];
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

}  // namespace

std::vector<std::uint8_t> bwtEncode(std::span<const std::uint8_t> in,
                                    const std::function<void(std::size_t)>& onBlock) {
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
        if (onBlock) {
            onBlock(size);
        }
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

struct BwtBlockEncoder::Scratch {
    SortScratch sort;
    std::unique_ptr<std::uint8_t[]> coded{new std::uint8_t[kBwtBlockHeader + kBwtBlockSize + 1]};
};

BwtBlockEncoder::BwtBlockEncoder() : scratch_(std::make_unique<Scratch>()) {}
BwtBlockEncoder::~BwtBlockEncoder() = default;

bool BwtBlockEncoder::reproduces(std::span<const std::uint8_t> restored, const BwtBlock& stored) {
    encodeBlock(restored, scratch_->coded.get(), scratch_->sort);
    const std::uint8_t* coded = scratch_->coded.get();
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
