#include "uz/huffman.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
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

// The bytes a stretch of the bit stream (the tree, or a piece's codes) from bit `begin` to
// `end` touches, its first bit in the first byte's bit begin % 8.
std::size_t bytesTouched(std::uint64_t begin, std::uint64_t end) {
    return static_cast<std::size_t>((end + 7) / 8 - begin / 8);
}

// Puts stretches of the bit stream, each coded into bytes of its own, out in order: a byte
// that two stretches share goes out with the second.
class StretchWriter {
public:
    explicit StretchWriter(ByteSink& out) : out_(out) {}

    // `bytes` holds bytesTouched(begin, end) bytes; the first may be changed.
    void write(std::uint8_t* bytes, std::uint64_t begin, std::uint64_t end) {
        std::size_t size = bytesTouched(begin, end);
        if (size == 0) {
            return;
        }
        if (begin % 8 != 0) {
            bytes[0] |= shared_;
        }
        if (end % 8 != 0) {
            shared_ = bytes[--size];
        }
        if (size > 0) {
            out_.write({bytes, size});
        }
        end_ = end;
    }

    void finish() {
        if (end_ % 8 != 0) {
            out_.write({&shared_, 1});
        }
    }

private:
    ByteSink& out_;
    std::uint8_t shared_ = 0;  // the last byte so far, when the stream so far ends inside it
    std::uint64_t end_ = 0;
};

// Pieces of about this many bytes are counted, and coded, on their own.
constexpr std::size_t kPiece = std::size_t{256} << 10;

}  // namespace

void countBytes(std::span<const std::uint8_t> data, std::span<std::uint64_t, 256> counts) {
    // Runs of equal bytes would make one counter wait on its own last store; four, one per
    // byte position modulo 4, do not.
    std::uint32_t parts[4][256] = {};
    std::size_t i = 0;
    while (i < data.size()) {
        // A stretch of at most 1 GiB cannot overflow the counters.
        const std::size_t end = i + std::min<std::size_t>(data.size() - i, std::size_t{1} << 30);
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
                   std::span<const ByteCounts> counts, ByteSink& out) {
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
    // Where each piece's codes start in the bit stream, and the room the largest takes.
    std::vector<std::uint64_t> starts{layout.treeBits};
    std::size_t room = 0;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        std::uint64_t bits = 0;
        for (int s = 0; s < kSymbols; ++s) {
            bits += counts[p][s] * static_cast<std::uint64_t>(layout.codes[s].length);
        }
        starts.push_back(starts.back() + bits);
        room = std::max(room, bytesTouched(starts[p], starts[p + 1]));
    }

    const auto count = static_cast<std::uint32_t>(size);
    const std::uint8_t countBytes[4] = {
        static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
        static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)};
    out.write(countBytes);
    StretchWriter writer(out);
    std::vector<std::uint8_t> treeBytes(bytesTouched(0, layout.treeBits));
    BitSink treeSink(treeBytes.data());
    writeTree(tree, treeSink);
    treeSink.finish();
    writer.write(treeBytes.data(), 0, layout.treeBits);

    // Each piece is coded into a buffer of its own on any core, and written out in turn.
    std::vector<std::unique_ptr<std::uint8_t[]>> buffers(TaskPool::threads() + 2);
    OrderedWork work(
        buffers.size(),
        [&](std::uint64_t p, unsigned) {
            auto& buffer = buffers[p % buffers.size()];
            if (!buffer) {
                buffer.reset(new std::uint8_t[room]);
            }
            BitSink sink(buffer.get(), static_cast<int>(starts[p] % 8));
            for (const std::uint8_t b : pieces[p]) {
                sink.put(layout.codes[b]);
            }
            sink.finish();
        },
        [&](std::uint64_t p) {
            writer.write(buffers[p % buffers.size()].get(), starts[p], starts[p + 1]);
        });
    for (std::size_t p = 0; p + 1 < pieces.size(); ++p) {
        work.post();
    }
    if (!pieces.empty()) {
        work.runHere();
    }
    work.wait();
    writer.finish();
}

void huffmanEncode(std::span<const std::uint8_t> in, ByteSink& out) {
    std::vector<std::span<const std::uint8_t>> pieces;
    for (std::size_t at = 0; at < in.size(); at += kPiece) {
        pieces.push_back(in.subspan(at, std::min(kPiece, in.size() - at)));
    }
    std::vector<ByteCounts> counts(pieces.size());
    forEachTask(pieces.size(), [&](unsigned, std::size_t p) { countBytes(pieces[p], counts[p]); });
    huffmanEncode(pieces, counts, out);
}

void huffmanEncode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) {
    VectorSink sink;
    sink.bytes = std::move(out);
    huffmanEncode(in, sink);
    out = std::move(sink.bytes);
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
