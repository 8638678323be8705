#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace varnox::uz {

// The code tree the game's tool builds for a set of byte counts (see huffman.cpp), shared
// by the encoder and by the decoder's check that a file is what the encoder writes.
struct TreeNode {
    int child0 = -1;
    int child1 = -1;
    int symbol = -1;  // leaves only
};

struct CodeTree {
    std::vector<TreeNode> nodes;
    int root = 0;
};

// How many times each byte value comes.
using ByteCounts = std::array<std::uint64_t, 256>;

CodeTree buildTree(const ByteCounts& counts);

}  // namespace varnox::uz
