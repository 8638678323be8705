#include "uz/huffman.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <string>

#include "uz/buffer.h"
#include "uz/byte_reader.h"
#include "uz/error.h"

namespace varnox::uz {

namespace {

constexpr int kMaxDepth = 256;
constexpr int kSymbols = 256;

// ---------------------------------------------------------------------------------------
// Encoding

struct TreeNode {
    int child0 = -1;
    int child1 = -1;
    int symbol = -1;  // leaves only
};

struct CodeTree {
    std::vector<TreeNode> nodes;
    int root = 0;
};

// The game's tree rule. The list starts as the 256 leaves in byte-value order (not sorted
// by count); trailing zero-count leaves are dropped; then the last two entries are joined
// (the last becomes child 0) and the new node goes before the first entry with a strictly
// smaller count. The list is never re-sorted, so zero-count leaves below the highest used
// byte stay in the tree and the shape differs from a textbook Huffman tree.
CodeTree buildTree(const std::array<std::uint64_t, kSymbols>& counts) {
    struct Entry {
        std::uint64_t count;
        int node;
    };
    CodeTree tree;
    tree.nodes.reserve(2 * kSymbols);
    std::vector<Entry> list;
    list.reserve(kSymbols);
    for (int s = 0; s < kSymbols; ++s) {
        tree.nodes.push_back({-1, -1, s});
        list.push_back({counts[s], s});
    }
    while (list.size() > 1 && list.back().count == 0) {
        list.pop_back();
    }
    while (list.size() > 1) {
        const Entry zero = list.back();
        list.pop_back();
        const Entry one = list.back();
        list.pop_back();
        const int node = static_cast<int>(tree.nodes.size());
        tree.nodes.push_back({zero.node, one.node, -1});
        const Entry joined{zero.count + one.count, node};
        auto at = std::find_if(list.begin(), list.end(),
                               [&](const Entry& e) { return e.count < joined.count; });
        list.insert(at, joined);
    }
    tree.root = list.front().node;
    return tree;
}

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

// ---------------------------------------------------------------------------------------
// Decoding

struct DecodeNode {
    std::int32_t child0 = -1;  // -1 in a leaf
    std::int32_t child1 = -1;
    std::uint16_t depth = 0;
    std::uint8_t symbol = 0;
};

// Reads bits from the coded data; every read is checked against the end.
class BitSource {
public:
    explicit BitSource(std::span<const std::uint8_t> data)
        : data_(data), totalBits_(static_cast<std::uint64_t>(data.size()) * 8) {}

    std::uint64_t position() const { return pos_; }
    std::uint64_t bitsLeft() const { return totalBits_ - pos_; }

    unsigned bit(const char* what) {
        need(1, what);
        const unsigned b = (data_[pos_ >> 3] >> (pos_ & 7)) & 1u;
        ++pos_;
        return b;
    }

    unsigned bits8(const char* what) {
        need(8, what);
        const unsigned value = static_cast<unsigned>(peek() & 0xff);
        pos_ += 8;
        return value;
    }

    // The next 57 or more bits with the first in bit 0, zero past the end of the data.
    std::uint64_t peek() const {
        const std::size_t byte = static_cast<std::size_t>(pos_ >> 3);
        std::uint64_t word = 0;
        if (byte + 8 <= data_.size()) {
            std::memcpy(&word, data_.data() + byte, 8);
            if constexpr (std::endian::native == std::endian::big) {
                word = __builtin_bswap64(word);
            }
        } else {
            for (std::size_t i = byte; i < data_.size(); ++i) {
                word |= static_cast<std::uint64_t>(data_[i]) << (8 * (i - byte));
            }
        }
        return word >> (pos_ & 7);
    }

    void skip(std::uint64_t count, const char* what) {
        need(count, what);
        pos_ += count;
    }

    void need(std::uint64_t count, const char* what) const {
        if (count > totalBits_ - pos_) {
            throw Error(error::kInputPastEnd, std::string("the data ends inside ") + what);
        }
    }

private:
    std::span<const std::uint8_t> data_;
    std::uint64_t totalBits_;
    std::uint64_t pos_ = 0;
};

std::vector<DecodeNode> readTree(BitSource& bits) {
    const char* what = "the Huffman tree";
    std::vector<DecodeNode> nodes;
    std::vector<std::int32_t> open;  // internal nodes with a child still to read
    auto readNode = [&](int depth) {
        if (depth > kMaxDepth) {
            throw Error(error::kInvalidFormat, "the Huffman tree is deeper than 256 levels");
        }
        const auto index = static_cast<std::int32_t>(nodes.size());
        DecodeNode node;
        node.depth = static_cast<std::uint16_t>(depth);
        if (bits.bit(what) == 0) {
            node.symbol = static_cast<std::uint8_t>(bits.bits8(what));
            nodes.push_back(node);
        } else {
            node.child0 = node.child1 = index;  // marks "not read yet" (a child never points up)
            nodes.push_back(node);
            open.push_back(index);
        }
        return index;
    };
    readNode(0);
    while (!open.empty()) {
        const std::int32_t parent = open.back();
        const int depth = nodes[parent].depth + 1;
        if (nodes[parent].child0 == parent) {
            const std::int32_t child = readNode(depth);
            nodes[parent].child0 = child;
        } else if (nodes[parent].child1 == parent) {
            // The parent is complete once its second child is read.
            open.pop_back();
            const std::int32_t child = readNode(depth);
            nodes[parent].child1 = child;
        }
    }
    return nodes;
}

// Lookup on the next kTableBits bits. An entry holds a code's length (bits 8 to 15) and
// its byte (bits 0 to 7). Where the first kTableBits bits are not yet a whole code, the
// entry's length is kFar, longer than any word of bits, and the node reached after those
// bits is kept aside; the decoder walks on from it bit by bit (codes that long are rare by
// construction).
constexpr int kTableBits = 11;
constexpr std::uint16_t kFar = 0xff;

struct LookupTable {
    std::vector<std::uint16_t> entries;
    std::vector<std::int32_t> farNodes;
};

LookupTable buildTable(const std::vector<DecodeNode>& nodes) {
    LookupTable table;
    table.entries.assign(std::size_t{1} << kTableBits, 0);
    table.farNodes.assign(std::size_t{1} << kTableBits, -1);
    struct Visit {
        std::int32_t node;
        std::uint32_t path;
    };
    std::vector<Visit> stack{{0, 0}};
    while (!stack.empty()) {
        const Visit v = stack.back();
        stack.pop_back();
        const DecodeNode& node = nodes[v.node];
        const int depth = node.depth;
        if (node.child0 < 0) {
            const auto entry = static_cast<std::uint16_t>(depth << 8 | node.symbol);
            for (std::uint32_t high = 0; high < (1u << (kTableBits - depth)); ++high) {
                table.entries[v.path | (high << depth)] = entry;
            }
        } else if (depth == kTableBits) {
            table.entries[v.path] = kFar << 8;
            table.farNodes[v.path] = v.node;
        } else {
            stack.push_back({node.child0, v.path});
            stack.push_back({node.child1, v.path | (1u << depth)});
        }
    }
    return table;
}

// Decodes one code on the checked path: at the end of the data, or longer than the table.
std::uint8_t decodeOne(const std::vector<DecodeNode>& nodes, const LookupTable& table,
                       BitSource& bits) {
    const char* what = "a Huffman code";
    const auto index = static_cast<std::size_t>(bits.peek() & ((1u << kTableBits) - 1));
    const std::uint16_t entry = table.entries[index];
    if ((entry >> 8) != kFar) {
        bits.skip(entry >> 8, what);
        return static_cast<std::uint8_t>(entry);
    }
    bits.skip(kTableBits, what);
    std::int32_t node = table.farNodes[index];
    while (nodes[node].child0 >= 0) {
        node = bits.bit(what) ? nodes[node].child1 : nodes[node].child0;
    }
    return nodes[node].symbol;
}

// Decodes out.size() symbols. While eight whole bytes lie ahead, one 64-bit load serves
// every code that fits in its 57 sure bits (a code found with fewer than kTableBits sure
// bits left is still right when its length fits: the bits after a code do not change it);
// near the end, and for long codes, every code is checked against the end of the data.
void decodeSymbols(const std::vector<DecodeNode>& nodes, const LookupTable& table, BitSource& bits,
                   std::span<const std::uint8_t> data, std::span<std::uint8_t> out) {
    constexpr std::uint64_t mask = (std::uint64_t{1} << kTableBits) - 1;
    const std::uint16_t* entries = table.entries.data();
    std::uint8_t* o = out.data();
    std::uint8_t* const end = o + out.size();

    const std::uint8_t* d = data.data();
    const std::uint64_t lastFastByte = data.size() >= 8 ? data.size() - 8 : 0;
    std::uint64_t pos = bits.position();
    while (data.size() >= 8 && o < end && (pos >> 3) <= lastFastByte) {
        std::uint64_t word;
        std::memcpy(&word, d + (pos >> 3), 8);
        if constexpr (std::endian::native == std::endian::big) {
            word = __builtin_bswap64(word);
        }
        word >>= pos & 7;
        unsigned sure = 57;
        while (o < end) {
            const std::uint16_t entry = entries[word & mask];
            const unsigned length = entry >> 8;
            if (length > sure) {
                break;
            }
            *o++ = static_cast<std::uint8_t>(entry);
            word >>= length;
            sure -= length;
        }
        pos += 57 - sure;
        if (o < end && sure >= kTableBits) {
            // A code longer than the table.
            bits.skip(pos - bits.position(), "a Huffman code");
            *o++ = decodeOne(nodes, table, bits);
            pos = bits.position();
        }
    }
    bits.skip(pos - bits.position(), "a Huffman code");
    while (o < end) {
        *o++ = decodeOne(nodes, table, bits);
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

struct HuffmanDecoder::State {
    explicit State(std::span<const std::uint8_t> in) : data(in), bits(in) {}

    std::span<const std::uint8_t> data;
    BitSource bits;
    std::size_t count = 0;
    std::size_t decoded = 0;
    std::vector<DecodeNode> nodes;
    LookupTable table;
};

HuffmanDecoder::HuffmanDecoder(std::span<const std::uint8_t> in, std::size_t sizeLimit) {
    ByteReader reader(in);
    const std::uint32_t count = reader.u32("the Huffman count");
    if (count > sizeLimit) {
        throw Error(error::kOverflow, "the Huffman data codes " + std::to_string(count) +
                                          " bytes, more than the limit of " +
                                          std::to_string(sizeLimit));
    }
    state_ = std::make_unique<State>(reader.rest());
    state_->count = count;
    BitSource& bits = state_->bits;
    state_->nodes = readTree(bits);
    if (state_->nodes.size() == 1) {
        // One leaf: every code is empty, so nothing in the data backs the count.
        if (count != 0) {
            throw Error(error::kInvalidFormat, "the Huffman tree is a single leaf but " +
                                                   std::to_string(count) + " bytes are coded");
        }
    } else {
        if (count > bits.bitsLeft()) {
            // Every code is at least one bit long.
            throw Error(error::kInputPastEnd,
                        "the Huffman data codes " + std::to_string(count) + " bytes but only " +
                            std::to_string(bits.bitsLeft()) + " bits follow the tree");
        }
        state_->table = buildTable(state_->nodes);
    }
}

HuffmanDecoder::~HuffmanDecoder() = default;

std::size_t HuffmanDecoder::size() const {
    return state_->count;
}

void HuffmanDecoder::decode(std::span<std::uint8_t> out) {
    State& s = *state_;
    if (out.size() > s.count - s.decoded) {
        throw Error(error::kInvalidValue, "more Huffman bytes asked for than are coded");
    }
    if (!out.empty()) {
        decodeSymbols(s.nodes, s.table, s.bits, s.data, out);
        s.decoded += out.size();
    }
}

void HuffmanDecoder::finish() {
    const State& s = *state_;
    const std::uint64_t usedBytes = (s.bits.position() + 7) / 8;
    if (usedBytes < s.data.size()) {
        throw Error(error::kInvalidFormat,
                    std::to_string(s.data.size() - usedBytes) + " bytes follow the last code");
    }
}

std::vector<std::uint8_t> huffmanDecode(std::span<const std::uint8_t> in, std::size_t sizeLimit) {
    HuffmanDecoder decoder(in, sizeLimit);
    std::vector<std::uint8_t> out = stageBuffer(decoder.size());
    decoder.decode(out);
    decoder.finish();
    return out;
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
