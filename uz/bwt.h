#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace varnox::uz {

// Burrows-Wheeler stage over blocks of at most kBwtBlockSize bytes. Each block is written
// as n, First, Last (32-bit each) and n + 1 bytes. Blocks are sorted and restored in
// parallel on the available cores.
constexpr std::size_t kBwtBlockSize = 0x40000;
constexpr std::size_t kBwtBlockHeader = 12;

std::vector<std::uint8_t> bwtEncode(std::span<const std::uint8_t> in);

// Inverse of bwtEncode. Checks every block header (0 < n <= kBwtBlockSize, First and Last
// within 0..n and different, the bytes present) before it restores any block, and raises
// uz::Error naming the block otherwise.
std::vector<std::uint8_t> bwtDecode(std::span<const std::uint8_t> in);

class FillProgress;

// The same as bwtDecode for a stream that another thread is still writing: restores each
// block as soon as `progress` shows all its bytes, into `out` (room for in.size() bytes),
// and returns how many bytes it restored once the writer has finished. The checks and
// errors are those of bwtDecode.
std::size_t bwtDecodeAsFilled(std::span<const std::uint8_t> in, FillProgress& progress,
                              std::uint8_t* out);

// The sorted order of the n + 1 suffixes of one block (position n is the empty suffix), as
// the encoder uses it: bytes compare as unsigned values over the shorter suffix's length,
// and of two suffixes where one is a prefix of the other the longer comes first.
std::vector<std::int32_t> bwtSuffixOrder(std::span<const std::uint8_t> block);

}  // namespace varnox::uz
