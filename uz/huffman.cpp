#include "uz/huffman.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>
#include <vector>

#include "uz/error.h"
#include "uz/huffman_tree.h"
#include "uz/parallel.h"

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
    // The first `skip` (0 to 7) bits written are zero.
    explicit BitSink(std::uint8_t* out, int skip = 0) : out_(out), filled_(skip) {}

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

    // Where the next whole byte goes, and a new place for it and those after.
    std::uint8_t* position() const { return out_; }
    void moveTo(std::uint8_t* out) { out_ = out; }

    // Writes the bits left, the last byte padded with zero bits.
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

// The bits a piece of the stream puts into the bytes it shares with the pieces beside it:
// the byte of its first bit and that of its last, unless it starts or ends at a whole byte.
struct SharedBytes {
    std::size_t at[2] = {};
    std::uint8_t bits[2] = {};
    int count = 0;
};

// Writes the codes of `symbols` into the bits `begin` to `end` of `stream`, which no other
// piece writes: every byte wholly inside them, and the bits of the bytes shared with other
// pieces into the result.
SharedBytes codePiece(const TreeLayout& layout, std::span<const std::uint8_t> symbols,
                      std::uint8_t* stream, std::uint64_t begin, std::uint64_t end) {
    SharedBytes shared;
    auto isShared = [&](std::uint64_t at) {
        return (at == begin / 8 && begin % 8 != 0) || (at == end / 8 && end % 8 != 0);
    };
    // Hands over `count` bytes coded into `bytes` that belong at `at` in the stream.
    auto place = [&](const std::uint8_t* bytes, std::size_t at, std::size_t count) {
        for (std::size_t k = 0; k < count; ++k, ++at) {
            if (!isShared(at)) {
                stream[at] = bytes[k];
            } else if (shared.count > 0 && shared.at[shared.count - 1] == at) {
                shared.bits[shared.count - 1] |= bytes[k];
            } else {
                shared.at[shared.count] = at;
                shared.bits[shared.count++] = bytes[k];
            }
        }
    };
    // The first words go aside, since the first byte may be shared, and so do the last
    // bytes. A long code may give nine words at once.
    std::uint8_t aside[64];
    const auto firstByte = static_cast<std::size_t>(begin / 8);
    BitSink sink(aside, static_cast<int>(begin % 8));
    std::size_t i = 0;
    while (i < symbols.size() && sink.position() == aside) {
        sink.put(layout.codes[symbols[i++]]);
    }
    std::size_t done = static_cast<std::size_t>(sink.position() - aside);
    place(aside, firstByte, done);
    sink.moveTo(stream + firstByte + done);
    for (; i < symbols.size(); ++i) {
        sink.put(layout.codes[symbols[i]]);
    }
    done = static_cast<std::size_t>(sink.position() - stream);
    sink.moveTo(aside);
    sink.finish();
    place(aside, done, static_cast<std::size_t>(sink.position() - aside));
    return shared;
}

// Pieces of about this many bytes are counted on their own.
constexpr std::size_t kCountPiece = std::size_t{1} << 20;

}  // namespace

void countBytes(std::span<const std::uint8_t> data, std::span<std::uint64_t, 256> counts) {
    // Runs of equal bytes would make one counter wait on its own last store; four, one per
    // byte position modulo 4, do not.
    std::uint32_t parts[4][256] = {};
    std::size_t i = 0;
    while (i < data.size()) {
        // Small counters for speed; a stretch of at most 4 GiB - 4 cannot overflow them.
        const std::size_t end = i + std::min<std::size_t>(data.size() - i, 0xfffffffc);
        for (; i + 4 <= end; i += 4) {
            ++parts[0][data[i]];
            ++parts[1][data[i + 1]];
            ++parts[2][data[i + 2]];
            ++parts[3][data[i + 3]];
        }
        for (; i < end; ++i) {
            ++parts[0][data[i]];
        }
        for (int s = 0; s < kSymbols; ++s) {
            counts[s] += std::uint64_t{parts[0][s]} + parts[1][s] + parts[2][s] + parts[3][s];
            parts[0][s] = parts[1][s] = parts[2][s] = parts[3][s] = 0;
        }
    }
}

void huffmanEncode(std::span<const std::span<const std::uint8_t>> pieces,
                   std::span<const ByteCounts> counts, std::vector<std::uint8_t>& out) {
    std::size_t size = 0;
    ByteCounts total{};
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        size += pieces[p].size();
        for (int s = 0; s < kSymbols; ++s) {
            total[s] += counts[p][s];
        }
    }
    if (size > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(error::kOverflow, "the data is too large for the Huffman count (" +
                                          std::to_string(size) + " bytes)");
    }
    const CodeTree tree = buildTree(total);
    const TreeLayout layout = layOut(tree);
    // Where each piece's codes start in the bit stream.
    std::vector<std::uint64_t> starts{layout.treeBits};
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        std::uint64_t bits = 0;
        for (int s = 0; s < kSymbols; ++s) {
            bits += counts[p][s] * static_cast<std::uint64_t>(layout.codes[s].length);
        }
        starts.push_back(starts.back() + bits);
    }

    const std::size_t start = out.size();
    out.resize(start + 4 + static_cast<std::size_t>((starts.back() + 7) / 8));
    const auto count = static_cast<std::uint32_t>(size);
    for (int i = 0; i < 4; ++i) {
        out[start + i] = static_cast<std::uint8_t>(count >> (8 * i));
    }
    std::uint8_t* stream = out.data() + start + 4;
    BitSink sink(stream);
    writeTree(tree, sink);
    sink.finish();
    std::vector<SharedBytes> shared(pieces.size());
    forEachTask(pieces.size(), [&](unsigned, std::size_t p) {
        shared[p] = codePiece(layout, pieces[p], stream, starts[p], starts[p + 1]);
    });
    for (const SharedBytes& piece : shared) {
        for (int k = 0; k < piece.count; ++k) {
            stream[piece.at[k]] |= piece.bits[k];
        }
    }
}

void huffmanEncode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) {
    std::vector<std::span<const std::uint8_t>> pieces;
    for (std::size_t at = 0; at < in.size(); at += kCountPiece) {
        pieces.push_back(in.subspan(at, std::min(kCountPiece, in.size() - at)));
    }
    std::vector<ByteCounts> counts(pieces.size());
    forEachTask(pieces.size(), [&](unsigned, std::size_t p) { countBytes(pieces[p], counts[p]); });
    huffmanEncode(pieces, counts, out);
}

std::vector<int> huffmanCodeLengths(std::span<const std::uint64_t, 256> counts) {
    ByteCounts copy{};
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
