#include "uz/huffman.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "uz/error.h"
#include "uz/huffman_tree.h"

namespace varnox::uz {

namespace {

constexpr int kMaxDepth = 256;
constexpr int kSymbols = 256;

// A code of up to 256 bits, first bit of the path in bit 0 of word 0.
struct Code {
    std::array<std::uint32_t, kMaxDepth / 32> words{};
    int length = 0;
};

struct TreeLayout {
    std::array<Code, kSymbols> codes{};
    std::uint64_t treeBits = 0;
};

TreeLayout layOut(const CodeTree& tree) {
    TreeLayout layout;
    struct Visit {
        int node;
        Code path;
    };
    std::vector<Visit> stack{{tree.root, Code{}}};
    while (!stack.empty()) {
        Visit v = stack.back();
        stack.pop_back();
        const TreeNode& node = tree.nodes[v.node];
        if (node.symbol >= 0) {
            layout.codes[node.symbol] = v.path;
            layout.treeBits += 9;
            continue;
        }
        layout.treeBits += 1;
        Visit zero{node.child0, v.path};
        Visit one{node.child1, v.path};
        const int bit = v.path.length;
        one.path.words[bit / 32] |= 1u << (bit % 32);
        zero.path.length = one.path.length = bit + 1;
        stack.push_back(one);
        stack.push_back(zero);
    }
    return layout;
}

// Writes bits into a buffer sized beforehand to the exact bit count, four bytes at a time.
class BitSink {
public:
    explicit BitSink(std::uint8_t* out) : out_(out) {}

    // Writes the low `length` (at most 32) bits of `bits`, which must be clear above them.
    void put(std::uint32_t bits, int length) {
        acc_ |= static_cast<std::uint64_t>(bits) << filled_;
        filled_ += length;
        if (filled_ >= 32) {
            const auto word = static_cast<std::uint32_t>(acc_);
            out_[0] = static_cast<std::uint8_t>(word);
            out_[1] = static_cast<std::uint8_t>(word >> 8);
            out_[2] = static_cast<std::uint8_t>(word >> 16);
            out_[3] = static_cast<std::uint8_t>(word >> 24);
            out_ += 4;
            acc_ >>= 32;
            filled_ -= 32;
        }
    }

    void put(const Code& code) {
        if (code.length <= 32) {
            put(code.words[0], code.length);
            return;
        }
        int left = code.length;
        for (std::size_t w = 0; left > 0; ++w) {
            const int part = std::min(left, 32);
            put(part == 32 ? code.words[w] : code.words[w] & ((1u << part) - 1), part);
            left -= part;
        }
    }

    void finish() {
        while (filled_ > 0) {
            *out_++ = static_cast<std::uint8_t>(acc_);
            acc_ >>= 8;
            filled_ = std::max(0, filled_ - 8);
        }
    }

private:
    std::uint8_t* out_;
    std::uint64_t acc_ = 0;
    int filled_ = 0;
};

void writeTree(const CodeTree& tree, BitSink& sink) {
    std::vector<int> stack{tree.root};
    while (!stack.empty()) {
        const TreeNode& node = tree.nodes[stack.back()];
        stack.pop_back();
        if (node.symbol >= 0) {
            sink.put(static_cast<std::uint32_t>(node.symbol) << 1, 9);
        } else {
            sink.put(1, 1);
            stack.push_back(node.child1);
            stack.push_back(node.child0);
        }
    }
}

}  // namespace

void huffmanEncode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) {
    if (in.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(error::kOverflow, "the data is too large for the Huffman count (" +
                                          std::to_string(in.size()) + " bytes)");
    }
    std::array<std::uint64_t, kSymbols> counts{};
    for (std::uint8_t b : in) {
        ++counts[b];
    }
    const CodeTree tree = buildTree(counts);
    const TreeLayout layout = layOut(tree);
    std::uint64_t bits = layout.treeBits;
    for (int s = 0; s < kSymbols; ++s) {
        bits += counts[s] * static_cast<std::uint64_t>(layout.codes[s].length);
    }

    const std::size_t start = out.size();
    out.resize(start + 4 + static_cast<std::size_t>((bits + 7) / 8));
    const auto count = static_cast<std::uint32_t>(in.size());
    for (int i = 0; i < 4; ++i) {
        out[start + i] = static_cast<std::uint8_t>(count >> (8 * i));
    }
    BitSink sink(out.data() + start + 4);
    writeTree(tree, sink);
    for (std::uint8_t b : in) {
        sink.put(layout.codes[b]);
    }
    sink.finish();
}

std::vector<int> huffmanCodeLengths(std::span<const std::uint64_t, 256> counts) {
    std::array<std::uint64_t, kSymbols> copy{};
    std::copy(counts.begin(), counts.end(), copy.begin());
    const CodeTree tree = buildTree(copy);
    const TreeLayout layout = layOut(tree);
    std::vector<int> lengths(kSymbols, -1);
    std::vector<int> stack{tree.root};
    while (!stack.empty()) {
        const TreeNode& node = tree.nodes[stack.back()];
        stack.pop_back();
        if (node.symbol >= 0) {
            lengths[node.symbol] = layout.codes[node.symbol].length;
        } else {
            stack.push_back(node.child0);
            stack.push_back(node.child1);
        }
    }
    return lengths;
}

}  // namespace varnox::uz
