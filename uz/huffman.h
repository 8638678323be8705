#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "uz/huffman_tree.h"
#include "uz/stream.h"

namespace varnox::uz {

// Huffman stage: a 32-bit count of coded bytes, then a bit stream (filled from each byte's
// least significant bit) holding the code tree in pre-order and then each byte's code.
//
// The encoder builds its tree exactly the way the game's tool does, so the output matches
// the game's byte for byte; see huffman_tree.cpp. It writes the stage to `out` as it is
// made, coding pieces of the input on all cores at once.
void huffmanEncode(std::span<const std::uint8_t> in, ByteSink& out);
// The same, appending the stage to `out`.
void huffmanEncode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out);
// The same for a stream given in pieces, one after the other, with the counts of each
// piece's bytes: one tree serves the whole stream, and each piece is coded from the bit
// where the counts before it say its codes start.
void huffmanEncode(std::span<const std::span<const std::uint8_t>> pieces,
                   std::span<const ByteCounts> counts, ByteSink& out);

// Adds the counts of the bytes of `data` to `counts`.
void countBytes(std::span<const std::uint8_t> data, std::span<std::uint64_t, 256> counts);

// Decodes the stage from a window on its input, step by step: the constructor reads the
// count and the tree; decode() gives the next bytes; finish() checks that no whole bytes
// follow the last code. Any full binary code tree up to 256 levels deep decodes. Raises
// uz::Error when the tree or a code runs past the data, the tree is too deep, the count
// cannot be backed by the data or exceeds `sizeLimit`, or whole bytes follow the last code.
// A tree of a single leaf codes in zero bits and is only accepted with a count of zero: an
// encoder writes it for empty input alone.
class HuffmanDecoder {
public:
    HuffmanDecoder(InputWindow& input, std::uint64_t sizeLimit);
    ~HuffmanDecoder();
    HuffmanDecoder(const HuffmanDecoder&) = delete;
    HuffmanDecoder& operator=(const HuffmanDecoder&) = delete;

    std::uint64_t size() const;  // the count of coded bytes
    std::uint64_t left() const;  // how many of them are still to be decoded
    void decode(std::span<std::uint8_t> out);
    void finish();

    // After finish(), given the counts of the decoded bytes: where the stage read differs
    // from what the encoder writes for those bytes (its own tree, zero padding bits), or
    // nothing when it is the same.
    std::string differenceFromEncoding(const ByteCounts& counts) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The whole stage at once, for tests of the stage on its own.
std::vector<std::uint8_t> huffmanDecode(std::span<const std::uint8_t> in,
                                        std::uint64_t sizeLimit = UINT64_MAX);

// The code length of each byte value under the tree the encoder builds for these counts,
// -1 for a value left out of the tree. For tests of the tree rule.
std::vector<int> huffmanCodeLengths(std::span<const std::uint64_t, 256> counts);

}  // namespace varnox::uz
