#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace varnox::uz {

// Huffman stage: a 32-bit count of coded bytes, then a bit stream (filled from each byte's
// least significant bit) holding the code tree in pre-order and then each byte's code.
//
// The encoder builds its tree exactly the way the game's tool does, so the output matches
// the game's byte for byte; see huffman.cpp. It appends to `out`.
void huffmanEncode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out);

// Decodes any full binary code tree up to 256 levels deep. Raises uz::Error when the tree
// or a code runs past the data, the tree is too deep, the count cannot be backed by the
// data, or whole bytes follow the last code, or the count exceeds `sizeLimit`. A tree of a
// single leaf codes in zero bits and is only accepted with a count of zero: an encoder
// writes it for empty input alone.
std::vector<std::uint8_t> huffmanDecode(std::span<const std::uint8_t> in,
                                        std::size_t sizeLimit = static_cast<std::size_t>(-1));

// The same decoding in steps, so that a caller can work on the bytes decoded so far while
// the rest are still to come. The constructor reads the count and the tree; decode() gives
// the next bytes; finish() checks that no whole bytes follow the last code. Errors as for
// huffmanDecode.
class HuffmanDecoder {
public:
    HuffmanDecoder(std::span<const std::uint8_t> in, std::size_t sizeLimit);
    ~HuffmanDecoder();
    HuffmanDecoder(const HuffmanDecoder&) = delete;
    HuffmanDecoder& operator=(const HuffmanDecoder&) = delete;

    std::size_t size() const;  // the count of coded bytes
    void decode(std::span<std::uint8_t> out);
    void finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The code length of each byte value under the tree the encoder builds for these counts,
// -1 for a value left out of the tree. For tests of the tree rule.
std::vector<int> huffmanCodeLengths(std::span<const std::uint64_t, 256> counts);

}  // namespace varnox::uz
