#include <bit>
#include <cstring>
#include <string>

#include "uz/byte_reader.h"
#include "uz/error.h"
#include "uz/huffman.h"
#include "uz/huffman_tree.h"

namespace varnox::uz {

namespace {

constexpr int kMaxDepth = 256;

struct DecodeNode {
    std::int32_t child0 = -1;  // -1 in a leaf
    std::int32_t child1 = -1;
    std::uint16_t depth = 0;
    std::uint8_t symbol = 0;
};

// Reads the stream bit by bit through the input window: for the count and the tree, which
// are read once.
class BitReader {
public:
    BitReader(InputWindow& input, unsigned& bit) : input_(input), bit_(bit) {}

    unsigned bit(const char* what) {
        if (input_.unread().empty() && input_.ensure(1) == 0) {
            throw Error(error::kInputPastEnd, std::string("the data ends inside ") + what);
        }
        const unsigned b = (input_.unread()[0] >> bit_) & 1u;
        if (++bit_ == 8) {
            bit_ = 0;
            input_.consume(1);
        }
        return b;
    }

    unsigned bits8(const char* what) {
        unsigned value = 0;
        for (int i = 0; i < 8; ++i) {
            value |= bit(what) << i;
        }
        return value;
    }

private:
    InputWindow& input_;
    unsigned& bit_;
};

std::vector<DecodeNode> readTree(BitReader& bits) {
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
constexpr std::uint64_t kTableMask = (std::uint64_t{1} << kTableBits) - 1;

struct Tables {
    std::vector<DecodeNode> nodes;
    std::vector<std::uint16_t> entries;
    std::vector<std::int32_t> farNodes;
};

void buildTable(Tables& t) {
    t.entries.assign(std::size_t{1} << kTableBits, 0);
    t.farNodes.assign(std::size_t{1} << kTableBits, -1);
    struct Visit {
        std::int32_t node;
        std::uint32_t path;
    };
    std::vector<Visit> stack{{0, 0}};
    while (!stack.empty()) {
        const Visit v = stack.back();
        stack.pop_back();
        const DecodeNode& node = t.nodes[v.node];
        const int depth = node.depth;
        if (node.child0 < 0) {
            const auto entry = static_cast<std::uint16_t>(depth << 8 | node.symbol);
            for (std::uint32_t high = 0; high < (1u << (kTableBits - depth)); ++high) {
                t.entries[v.path | (high << depth)] = entry;
            }
        } else if (depth == kTableBits) {
            t.entries[v.path] = kFar << 8;
            t.farNodes[v.path] = v.node;
        } else {
            stack.push_back({node.child0, v.path});
            stack.push_back({node.child1, v.path | (1u << depth)});
        }
    }
}

// The fast path wants this many bytes of data beyond its position: an eight-byte load, and
// a code of up to 256 bits after it.
constexpr std::size_t kLookahead = 64;

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    return word;
}

// Decodes codes from `data` at bit `pos` while the position's byte is at most `fastEnd`,
// where the data holds kLookahead bytes beyond it, so no read needs a check. One 64-bit
// load serves every code that fits in its 57 sure bits (a code found with fewer than
// kTableBits sure bits left is still right when its length fits: the bits after a code do
// not change it). Returns where the output got to.
std::uint8_t* decodeFast(const Tables& t, const std::uint8_t* data, std::size_t fastEnd,
                         std::uint64_t& pos, std::uint8_t* o, std::uint8_t* const end) {
    const std::uint16_t* entries = t.entries.data();
    while (o < end && (pos >> 3) <= fastEnd) {
        std::uint64_t word = load64(data + (pos >> 3)) >> (pos & 7);
        unsigned sure = 57;
        while (o < end) {
            const std::uint16_t entry = entries[word & kTableMask];
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
            // A code longer than the table: on from the node its first bits reach.
            std::int32_t node = t.farNodes[word & kTableMask];
            pos += kTableBits;
            while (t.nodes[node].child0 >= 0) {
                const unsigned bit = (data[pos >> 3] >> (pos & 7)) & 1u;
                ++pos;
                node = bit ? t.nodes[node].child1 : t.nodes[node].child0;
            }
            *o++ = t.nodes[node].symbol;
        }
    }
    return o;
}

// One code near the end of the input, every bit checked against it.
std::uint8_t decodeChecked(const Tables& t, std::span<const std::uint8_t> data,
                           std::uint64_t& pos) {
    const std::uint64_t bits = static_cast<std::uint64_t>(data.size()) * 8;
    auto need = [&](std::uint64_t count) {
        if (count > bits - pos) {
            throw Error(error::kInputPastEnd, "the data ends inside a Huffman code");
        }
    };
    std::uint64_t word = 0;
    for (std::size_t i = static_cast<std::size_t>(pos >> 3); i < data.size() && i < (pos >> 3) + 8;
         ++i) {
        word |= static_cast<std::uint64_t>(data[i]) << (8 * (i - (pos >> 3)));
    }
    word >>= pos & 7;
    const std::uint16_t entry = t.entries[word & kTableMask];
    if ((entry >> 8) != kFar) {
        need(entry >> 8);
        pos += entry >> 8;
        return static_cast<std::uint8_t>(entry);
    }
    need(kTableBits);
    std::int32_t node = t.farNodes[word & kTableMask];
    pos += kTableBits;
    while (t.nodes[node].child0 >= 0) {
        need(1);
        const unsigned bit = (data[pos >> 3] >> (pos & 7)) & 1u;
        ++pos;
        node = bit ? t.nodes[node].child1 : t.nodes[node].child0;
    }
    return t.nodes[node].symbol;
}

}  // namespace

struct HuffmanDecoder::State {
    explicit State(InputWindow& in) : input(in) {}

    InputWindow& input;
    unsigned bit = 0;  // bits of the first unread byte already used
    std::uint64_t count = 0;
    std::uint64_t decoded = 0;
    Tables tables;
};

HuffmanDecoder::HuffmanDecoder(InputWindow& input, std::uint64_t sizeLimit)
    : state_(std::make_unique<State>(input)) {
    State& s = *state_;
    if (input.ensure(4) < 4) {
        throw Error(error::kInputPastEnd, "the data ends inside the Huffman count");
    }
    const auto c = input.unread();
    s.count = loadU32(c.data());
    input.consume(4);
    if (s.count > sizeLimit) {
        throw Error(error::kOverflow, "the Huffman data codes " + std::to_string(s.count) +
                                          " bytes, more than the limit of " +
                                          std::to_string(sizeLimit));
    }
    BitReader bits(input, s.bit);
    s.tables.nodes = readTree(bits);
    if (s.tables.nodes.size() == 1) {
        // One leaf: every code is empty, so nothing in the data backs the count.
        if (s.count != 0) {
            throw Error(error::kInvalidFormat, "the Huffman tree is a single leaf but " +
                                                   std::to_string(s.count) + " bytes are coded");
        }
        return;
    }
    // Every code is at least one bit long.
    const std::uint64_t bitsLeft = input.remaining() * 8 - s.bit;
    if (s.count > bitsLeft) {
        throw Error(error::kInputPastEnd, "the Huffman data codes " + std::to_string(s.count) +
                                              " bytes but only " + std::to_string(bitsLeft) +
                                              " bits follow the tree");
    }
    buildTable(s.tables);
}

HuffmanDecoder::~HuffmanDecoder() = default;

std::uint64_t HuffmanDecoder::size() const {
    return state_->count;
}

std::uint64_t HuffmanDecoder::left() const {
    return state_->count - state_->decoded;
}

void HuffmanDecoder::decode(std::span<std::uint8_t> out) {
    State& s = *state_;
    if (out.size() > left()) {
        throw Error(error::kInvalidValue, "more Huffman bytes asked for than are coded");
    }
    std::uint8_t* o = out.data();
    std::uint8_t* const end = o + out.size();
    while (o < end) {
        const std::size_t available = s.input.ensure(kLookahead);
        const std::span<const std::uint8_t> data = s.input.unread();
        std::uint64_t pos = s.bit;
        if (available >= kLookahead) {
            o = decodeFast(s.tables, data.data(), available - kLookahead, pos, o, end);
        } else {
            // The last bytes of the input are all in the window.
            while (o < end) {
                *o++ = decodeChecked(s.tables, data, pos);
            }
        }
        s.input.consume(static_cast<std::size_t>(pos >> 3));
        s.bit = static_cast<unsigned>(pos & 7);
    }
    s.decoded += out.size();
}

void HuffmanDecoder::finish() {
    State& s = *state_;
    const std::size_t partial = s.bit > 0 ? 1 : 0;
    if (s.input.ensure(partial + 1) > partial) {
        throw Error(error::kInvalidFormat,
                    std::to_string(s.input.remaining() - partial) + " bytes follow the last code");
    }
}

std::string HuffmanDecoder::differenceFromEncoding(const ByteCounts& counts) const {
    const State& s = *state_;
    const CodeTree tree = buildTree(counts);
    const std::vector<DecodeNode>& nodes = s.tables.nodes;
    std::vector<std::pair<std::int32_t, int>> stack{{0, tree.root}};
    while (!stack.empty()) {
        const auto [read, built] = stack.back();
        stack.pop_back();
        const DecodeNode& a = nodes[read];
        const TreeNode& b = tree.nodes[built];
        const bool leaf = a.child0 < 0;
        if (leaf != (b.symbol >= 0) || (leaf && a.symbol != b.symbol)) {
            return "the Huffman code tree is not the one the byte counts give";
        }
        if (!leaf) {
            stack.push_back({a.child1, b.child1});
            stack.push_back({a.child0, b.child0});
        }
    }
    if (s.bit > 0 && (s.input.unread()[0] >> s.bit) != 0) {
        return "the bits after the last Huffman code are not zero";
    }
    return {};
}

std::vector<std::uint8_t> huffmanDecode(std::span<const std::uint8_t> in, std::uint64_t sizeLimit) {
    MemorySource source(in);
    InputWindow input(source);
    HuffmanDecoder decoder(input, sizeLimit);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(decoder.size()));
    decoder.decode(out);
    decoder.finish();
    return out;
}

}  // namespace varnox::uz
