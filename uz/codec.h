#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "uz/error.h"

namespace varnox::uz {

// The signature at the start of a .uz file chooses the chain of stages of its body.
enum class Signature : std::uint32_t {
    Standard = 1234,   // RLE, BWT, MTF, Huffman: what the game's compress command writes
    DoubleRle = 5678,  // RLE, BWT, MTF, RLE, Huffman: as on the game's install media
};

struct Decoded {
    std::string storedName;  // UTF-8; informative only, never a path
    std::vector<std::uint8_t> package;
    Signature signature = Signature::Standard;
};

// Encodes a package into a whole .uz file. `storedName` is the package's bare file name in
// UTF-8 (see stored_name.h for how it is written). The output is byte for byte what the
// game's tools write for the same package, name and signature. Raises uz::Error for a
// name the format cannot hold or a package beyond the format's 32-bit counts.
std::vector<std::uint8_t> encode(std::span<const std::uint8_t> package, std::string_view storedName,
                                 Signature signature = Signature::Standard);
// The same, giving up the package's buffer as soon as the first stage is done with it, so
// the peak memory stays near twice the package. `onProgress`, when given, is told how many
// more of the package's bytes are done as the work goes (from any thread, one call at a
// time per thread); the counts add up to at most the package's size.
std::vector<std::uint8_t> encode(std::vector<std::uint8_t>&& package, std::string_view storedName,
                                 Signature signature = Signature::Standard,
                                 const std::function<void(std::uint64_t)>& onProgress = {});

// The same for a package of `size` zero bytes, made from the runs the first stage writes for
// them without holding the package: a small file that stands for a huge package (about
// 100 KB for 1 GiB with DoubleRle).
std::vector<std::uint8_t> encodeZeros(std::uint64_t size, std::string_view storedName,
                                      Signature signature = Signature::Standard);

// The header of a .uz file: the signature, then the stored name. Raises uz::Error for a
// signature the format does not have or a name it cannot hold.
std::vector<std::uint8_t> encodeHeader(std::string_view storedName, Signature signature);

// No limit on the size a file may decode to.
constexpr std::size_t kNoSizeLimit = static_cast<std::size_t>(-1);

// Decodes a whole .uz file of either signature, held in memory; decodeStream (decoder.h)
// does the work and says what it checks. Any input that is not a valid .uz file raises
// uz::Error saying what is wrong. The runs of the format let a small file stand for a huge
// package (a 5678 file can grow ten thousand fold), so a caller may set `sizeLimit`: a file
// whose package, or any stage on the way to it, would exceed that many bytes raises
// uz::Error as soon as that shows.
Decoded decode(std::span<const std::uint8_t> uzFile, std::size_t sizeLimit = kNoSizeLimit);

// Checks that a whole .uz file held in memory decodes, and that encoding its package again
// with the file's own signature and stored name gives the file byte for byte; raises
// uz::Error saying where it does not.
void verify(std::span<const std::uint8_t> uzFile, std::size_t sizeLimit = kNoSizeLimit);

}  // namespace varnox::uz
