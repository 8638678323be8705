#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace varnox::uz {

// Burrows-Wheeler stage over blocks of at most kBwtBlockSize bytes. Each block is written
// as n, First, Last (32-bit each) and n + 1 bytes. Blocks are sorted in parallel on the
// available cores.
constexpr std::size_t kBwtBlockSize = 0x40000;
constexpr std::size_t kBwtBlockHeader = 12;

// `onBlock`, when given, is told each block's size as it is done, from the thread that did it.
std::vector<std::uint8_t> bwtEncode(std::span<const std::uint8_t> in,
                                    const std::function<void(std::size_t)>& onBlock = {});

// How many blocks the decoder restores together. Following a block's chain is one memory
// wait after another; following several chains in the same loop overlaps their waits.
constexpr std::size_t kBwtChains = 4;

// One stored block as the decoder reads it.
struct BwtBlock {
    std::span<const std::uint8_t> bytes;  // the n + 1 stored bytes
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint64_t number = 0;  // counted from 1, for messages
};

// "BWT block N (offset X)", for messages; X is where its header starts in the stage.
std::string blockName(std::uint64_t number, std::uint64_t offset);
// The checks on a block before it is restored, raising uz::Error naming the block: a header
// with 0 < n <= kBwtBlockSize and First and Last different and within 0..n; then the same
// byte at First and Last.
void checkBwtHeader(std::uint32_t n, std::uint32_t first, std::uint32_t last, std::uint64_t number,
                    std::uint64_t offset);
void checkBwtBytes(const BwtBlock& block, std::uint64_t offset);

// Restores checked blocks, up to kBwtChains at a time, one after the other into `out` (room
// for all their n bytes). Raises uz::Error naming a block whose bytes do not restore
// consistently. Keeps its scratch arrays for the next call.
class BwtRestorer {
public:
    void restore(std::span<const BwtBlock> blocks, std::uint8_t* out);

private:
    std::unique_ptr<std::uint32_t[]> links_[kBwtChains];
    std::size_t room_[kBwtChains] = {};
    std::uint32_t* pointers_[kBwtChains] = {};
};

// Encodes restored blocks again, for verification: whether encoding `restored` gives the
// stored block exactly (bytes, First and Last).
class BwtBlockEncoder {
public:
    BwtBlockEncoder();
    ~BwtBlockEncoder();
    bool reproduces(std::span<const std::uint8_t> restored, const BwtBlock& stored);

private:
    struct Scratch;
    std::unique_ptr<Scratch> scratch_;
};

// The sorted order of the n + 1 suffixes of one block (position n is the empty suffix), as
// the encoder uses it: bytes compare as unsigned values over the shorter suffix's length,
// and of two suffixes where one is a prefix of the other the longer comes first.
std::vector<std::int32_t> bwtSuffixOrder(std::span<const std::uint8_t> block);

}  // namespace varnox::uz
