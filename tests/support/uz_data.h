#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "uz/codec.h"

namespace varnox::uz::test {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text);
Bytes le32(std::uint32_t value);
Bytes join(std::initializer_list<Bytes> parts);
Bytes readBytes(const std::filesystem::path& file);
std::filesystem::path vectorsDir();  // tests/data/uz-vectors in the source tree

// Runs `action`, which must raise uz::Error with `number` and a message that starts with
// `messageStart`; `label` names the case.
void expectUzError(const std::string& label, int number, const std::function<void()>& action,
                   const std::string& messageStart = "");

// Deterministic test data from a seed.
Bytes randomBytes(std::size_t size, std::uint64_t seed, unsigned alphabet = 256);
// A mix of runs, repeated phrases, small-alphabet stretches and noise, like a package.
Bytes mixedBytes(std::size_t size, std::uint64_t seed);

// Bits packed from each byte's least significant bit on, as the Huffman stage writes them:
// '0' and '1' stand for one bit each, any other character for a code-tree leaf (a 0 bit,
// then the character's eight bits, least significant first).
Bytes bitsOf(std::string_view text);
// A Huffman stage block: the 32-bit count, then the given bit stream.
Bytes huffmanBlock(std::uint32_t count, const Bytes& bits);

// A whole .uz file around a body.
Bytes uzFile(std::uint32_t signature, std::string_view storedName, const Bytes& body);

}  // namespace varnox::uz::test
