// The codec's pieces on their own: compact index, stored names, run-length coding, the
// BWT's suffix order, move-to-front and the Huffman tree rule and decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>

#include "tests/uz/uz_test_support.h"
#include "uz/bwt.h"
#include "uz/byte_reader.h"
#include "uz/compact_index.h"
#include "uz/error.h"
#include "uz/huffman.h"
#include "uz/mtf.h"
#include "uz/rle.h"
#include "uz/stored_name.h"

namespace varnox::uz::test {
namespace {

// ---------------------------------------------------------------------------------------
// Compact index

struct IndexCase {
    std::int32_t value;
    Bytes bytes;
};

TEST(CompactIndex, WritesAndReadsEveryForm) {
    const IndexCase cases[] = {
        {0, {0x00}},
        {1, {0x01}},
        {63, {0x3f}},
        {64, {0x40, 0x01}},
        {-1, {0x81}},
        {-63, {0xbf}},
        {-64, {0xc0, 0x01}},
        {8191, {0x7f, 0x7f}},
        {8192, {0x40, 0x80, 0x01}},
        {(1 << 20) - 1, {0x7f, 0xff, 0x7f}},
        {1 << 20, {0x40, 0x80, 0x80, 0x01}},
        {(1 << 27) - 1, {0x7f, 0xff, 0xff, 0x7f}},
        {1 << 27, {0x40, 0x80, 0x80, 0x80, 0x01}},
        {std::numeric_limits<std::int32_t>::max(), {0x7f, 0xff, 0xff, 0xff, 0x0f}},
        {-(1 << 27), {0xc0, 0x80, 0x80, 0x80, 0x01}},
        {std::numeric_limits<std::int32_t>::min(), {0xc0, 0x80, 0x80, 0x80, 0x10}},
    };
    for (const auto& c : cases) {
        Bytes written;
        writeCompactIndex(c.value, written);
        EXPECT_EQ(written, c.bytes) << c.value;
        ByteReader reader(c.bytes);
        EXPECT_EQ(readCompactIndex(reader), c.value) << c.value;
        EXPECT_EQ(reader.remaining(), 0u) << c.value;
    }
}

TEST(CompactIndex, FifthByteCarriesAllEightBits) {
    const Bytes bytes = {0x7f, 0xff, 0xff, 0xff, 0xff};
    ByteReader reader(bytes);
    EXPECT_EQ(readCompactIndex(reader), (std::int64_t{1} << 35) - 1);
}

TEST(CompactIndex, EndingBeforeTheLastByteIsAnError) {
    for (const Bytes& bytes :
         {Bytes{}, Bytes{0x40}, Bytes{0x40, 0x80}, Bytes{0xc0, 0x80, 0x80, 0x80}}) {
        ByteReader reader(bytes);
        try {
            readCompactIndex(reader);
            ADD_FAILURE() << "no error for " << bytes.size() << " bytes";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), error::kInputPastEnd);
        }
    }
}

// ---------------------------------------------------------------------------------------
// Stored names

struct NameCase {
    const char* label;
    std::string name;
    Bytes bytes;
    std::string readBack;
};

TEST(StoredName, ChoosesSingleByteOrUtf16) {
    const NameCase cases[] = {
        {"ascii", "abra.bin",
         bytesOf(std::string_view("\x09"
                                  "abra.bin\0",
                                  10)),
         "abra.bin"},
        {"empty", "", {0x00}, ""},
        {"latin1", "Ca\xc3\xb1on.unr",
         bytesOf(std::string_view("\x0a"
                                  "Ca\xf1on.unr\0",
                                  11)),
         "Ca\xc3\xb1on.unr"},
        {"utf16",
         "\xe5\x9c\xb0\xe5\x9b\xb3.unr",
         {0x87, 0x30, 0x57, 0xf3, 0x56, '.', 0, 'u', 0, 'n', 0, 'r', 0, 0, 0},
         "\xe5\x9c\xb0\xe5\x9b\xb3.unr"},
        {"surrogates",
         "\xf0\x9f\x8e\xae",
         {0x83, 0x3c, 0xd8, 0xae, 0xdf, 0, 0},
         "\xf0\x9f\x8e\xae"},
        {"not utf8", "\xff\xfe.u", bytesOf(std::string_view("\x05\xff\xfe.u\0", 6)),
         "\xc3\xbf\xc3\xbe.u"},
    };
    for (const auto& c : cases) {
        Bytes written;
        writeStoredName(c.name, written);
        EXPECT_EQ(written, c.bytes) << c.label;
        ByteReader reader(c.bytes);
        EXPECT_EQ(readStoredName(reader), c.readBack) << c.label;
        EXPECT_EQ(reader.remaining(), 0u) << c.label;
    }
}

TEST(StoredName, RefusesANulInsideTheName) {
    Bytes out;
    EXPECT_THROW(writeStoredName(std::string_view("a\0b", 3), out), Error);
}

TEST(StoredName, ReadsUpToTheFirstNulAndReplacesALoneSurrogate) {
    const Bytes early =
        bytesOf(std::string_view("\x05"
                                 "ab\0c\0",
                                 6));
    ByteReader a(early);
    EXPECT_EQ(readStoredName(a), "ab");
    const Bytes lone = {0x83, 0x00, 0xd8, 'x', 0, 0, 0};
    ByteReader b(lone);
    EXPECT_EQ(readStoredName(b), "\xef\xbf\xbdx");
}

struct BadName {
    const char* label;
    Bytes bytes;
    int number;
};

TEST(StoredName, RejectsLengthsTheDataCannotHoldAndMissingNul) {
    const BadName cases[] = {
        {"longer than data",
         bytesOf(std::string_view("\x09"
                                  "abc",
                                  4)),
         error::kInputPastEnd},
        {"huge positive", {0x7f, 0xff, 0xff, 0xff, 0x0f, 'a', 0}, error::kInputPastEnd},
        {"huge negative", {0xff, 0xff, 0xff, 0xff, 0xff, 'a', 0}, error::kInputPastEnd},
        {"odd utf16", {0x82, 'a', 0, 0}, error::kInputPastEnd},
        {"no nul",
         bytesOf("\x03"
                 "abc"),
         error::kInvalidFormat},
        {"no utf16 nul", {0x81, 'a', 0}, error::kInvalidFormat},
    };
    for (const auto& c : cases) {
        ByteReader reader(c.bytes);
        try {
            readStoredName(reader);
            ADD_FAILURE() << c.label;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), c.number) << c.label;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Run-length coding

Bytes repeat(std::uint8_t b, std::size_t n) {
    return Bytes(n, b);
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST(Rle, RunsOfFiveOrMoreBecomeFiveCopiesAndACount) {
    const struct {
        const char* label;
        Bytes in;
        Bytes out;
    } cases[] = {
        {"empty", {}, {}},
        {"four", repeat('a', 4), repeat('a', 4)},
        {"five", repeat('a', 5), concat({repeat('a', 5), {5}})},
        {"leading zeros", repeat(0, 3), repeat(0, 3)},
        {"zeros", repeat(0, 7), concat({repeat(0, 5), {7}})},
        {"255", repeat('a', 255), concat({repeat('a', 5), {255}})},
        {"256 splits", repeat('a', 256), concat({repeat('a', 5), {255}, {'a'}})},
        {"259 splits", repeat('a', 259), concat({repeat('a', 5), {255}, repeat('a', 4)})},
        {"260 splits", repeat('a', 260), concat({repeat('a', 5), {255}, repeat('a', 5), {5}})},
        {"510 splits", repeat('a', 510), concat({repeat('a', 5), {255}, repeat('a', 5), {255}})},
        {"mixed", concat({{'x'}, repeat('b', 6), {'y', 'y'}}),
         concat({{'x'}, repeat('b', 5), {6}, {'y', 'y'}})},
        {"count equal to the byte", repeat(5, 5), repeat(5, 6)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rleEncode(c.in), c.out) << c.label;
        EXPECT_EQ(rleDecode(c.out), c.in) << c.label;
    }
}

TEST(Rle, RoundTripsRunHeavyAndRandomData) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        const Bytes data = seed % 2 ? mixedBytes(20000, seed) : randomBytes(20000, seed, 2);
        EXPECT_EQ(rleDecode(rleEncode(data)), data) << seed;
    }
}

TEST(Rle, RejectsAMissingOrShortCount) {
    const struct {
        const char* label;
        Bytes in;
        int number;
    } cases[] = {
        {"count missing", repeat('a', 5), error::kInputPastEnd},
        {"count 0", concat({repeat('a', 5), {0}}), error::kInvalidFormat},
        {"count 4", concat({repeat('a', 5), {4}, {'b'}}), error::kInvalidFormat},
        {"second run short", concat({repeat('a', 5), {255}, repeat('a', 5), {3}}),
         error::kInvalidFormat},
    };
    for (const auto& c : cases) {
        try {
            rleDecode(c.in);
            ADD_FAILURE() << c.label;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), c.number) << c.label;
        }
    }
}

// ---------------------------------------------------------------------------------------
// BWT

// The format's order, by the definition: bytes compare over the shorter suffix; of a
// suffix and its own prefix the longer sorts first.
std::vector<std::int32_t> bruteForceOrder(const Bytes& block) {
    std::vector<std::int32_t> order(block.size() + 1);
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<std::int32_t>(i);
    }
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        const std::size_t la = block.size() - a;
        const std::size_t lb = block.size() - b;
        const std::size_t common = std::min(la, lb);
        for (std::size_t k = 0; k < common; ++k) {
            if (block[a + k] != block[b + k]) {
                return block[a + k] < block[b + k];
            }
        }
        return la > lb;
    });
    return order;
}

TEST(Bwt, SuffixOrderFollowsTheComparisonRule) {
    std::vector<Bytes> blocks = {
        bytesOf("a"),
        bytesOf("abracadabra"),
        bytesOf("aaaaaaaaaa"),
        bytesOf("abababababab"),
        bytesOf("banana"),
        Bytes{0xff, 0x00, 0xff, 0x00, 0xff},
        Bytes{0x00, 0x00, 0x01},
    };
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        const std::size_t size = 1 + seed % 97;
        switch (seed % 5) {
            case 0:
                blocks.push_back(randomBytes(size, seed));
                break;
            case 1:
                blocks.push_back(randomBytes(size, seed, 2));
                break;
            case 2:  // a short pattern repeated, the case that stresses suffix sorts
                blocks.push_back([&] {
                    const Bytes unit = randomBytes(1 + seed % 4, seed, 3);
                    Bytes b;
                    while (b.size() < size) {
                        b.insert(b.end(), unit.begin(), unit.end());
                    }
                    return b;
                }());
                break;
            case 3:
                blocks.push_back(mixedBytes(size, seed));
                break;
            default:
                blocks.push_back(randomBytes(size, seed, 1));
        }
    }
    for (const Bytes& block : blocks) {
        EXPECT_EQ(bwtSuffixOrder(block), bruteForceOrder(block))
            << std::string(block.begin(), block.end());
    }
}

std::uint32_t u32At(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(Bwt, WritesTheBlockLayout) {
    // abracadabra: sorted positions 0 7 3 5 10 1 8 4 6 2 9 11 ("abracadabra" before its
    // prefix "abra", which comes before "a"; the empty suffix last).
    const Bytes out = bwtEncode(bytesOf("abracadabra"));
    ASSERT_EQ(out.size(), 12u + 12u);
    EXPECT_EQ(u32At(out, 0), 11u);
    EXPECT_EQ(u32At(out, 4), 5u);  // First: where position 1 sorts
    EXPECT_EQ(u32At(out, 8), 0u);  // Last: where position 0 sorts
    // The byte before each sorted position; the block's first byte for position 0.
    EXPECT_EQ(Bytes(out.begin() + 12, out.end()), bytesOf("adrcraaaabba"));
}

TEST(Bwt, CutsBlocksAt0x40000Bytes) {
    const struct {
        std::size_t size;
        std::vector<std::uint32_t> blockSizes;
    } cases[] = {
        {0, {}},
        {1, {1}},
        {0x40000, {0x40000}},
        {0x40001, {0x40000, 1}},
        {3 * 0x40000 + 7, {0x40000, 0x40000, 0x40000, 7}},
    };
    for (const auto& c : cases) {
        const Bytes data = mixedBytes(c.size, c.size);
        const Bytes out = bwtEncode(data);
        std::vector<std::uint32_t> sizes;
        for (std::size_t at = 0; at < out.size(); at += 13 + sizes.back()) {
            sizes.push_back(u32At(out, at));
        }
        EXPECT_EQ(sizes, c.blockSizes) << c.size;
        EXPECT_EQ(bwtDecode(out), data) << c.size;
    }
}

// ---------------------------------------------------------------------------------------
// Move-to-front

TEST(Mtf, CodesPositionsWithOneTableForTheWholeStream) {
    Bytes data = {1, 1, 0, 2, 2, 255, 0};
    mtfEncode(data);
    EXPECT_EQ(data, (Bytes{1, 0, 1, 2, 0, 255, 2}));
    mtfDecode(data);
    EXPECT_EQ(data, (Bytes{1, 1, 0, 2, 2, 255, 0}));
}

TEST(Mtf, RoundTripsEveryPosition) {
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        const Bytes original = randomBytes(50000, seed, seed % 2 ? 256 : 20);
        Bytes data = original;
        mtfEncode(data);
        mtfDecode(data);
        EXPECT_EQ(data, original);
    }
}

// ---------------------------------------------------------------------------------------
// Huffman

std::vector<int> lengthsFor(std::initializer_list<std::pair<int, std::uint64_t>> counts) {
    std::array<std::uint64_t, 256> all{};
    for (auto [value, count] : counts) {
        all[value] = count;
    }
    auto lengths = huffmanCodeLengths(all);
    while (!lengths.empty() && lengths.back() == -1) {
        lengths.pop_back();
    }
    return lengths;
}

TEST(HuffmanTree, FollowsTheGameRule) {
    // Last entry becomes child 0; the joined node goes before the first smaller entry.
    EXPECT_EQ(lengthsFor({{0, 1}, {1, 1}, {2, 2}}), (std::vector<int>{1, 2, 2}));
    // Zero-count leaves below the highest used value stay in the tree.
    EXPECT_EQ(lengthsFor({{3, 1}}), (std::vector<int>{2, 2, 2, 2}));
    // Trailing zero-count leaves are dropped; a lone byte 0 is a one-leaf tree.
    EXPECT_EQ(lengthsFor({{0, 9}}), (std::vector<int>{0}));
    EXPECT_EQ(lengthsFor({}), (std::vector<int>{0}));
}

TEST(Huffman, EmptyInputIsACountAndOneLeaf) {
    Bytes out;
    huffmanEncode({}, out);
    EXPECT_EQ(out, (Bytes{0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(huffmanDecode(out).empty());
}

TEST(Huffman, RoundTripsCodesLongerThanTheLookupTableAndThanAWord) {
    // Counts falling as Fibonacci numbers with the byte value make a chain-shaped tree:
    // the two rarest values get 33-bit codes.
    std::vector<std::uint64_t> fib = {1, 1};
    while (fib.size() < 34) {
        fib.push_back(fib[fib.size() - 1] + fib[fib.size() - 2]);
    }
    std::array<std::uint64_t, 256> counts{};
    Bytes data;
    for (int value = 0; value < 34; ++value) {
        counts[value] = fib[33 - value];
        data.insert(data.end(), counts[value], static_cast<std::uint8_t>(value));
    }
    EXPECT_EQ(huffmanCodeLengths(counts)[33], 33);
    std::rotate(data.begin(), data.begin() + data.size() / 3, data.end());
    Bytes coded;
    huffmanEncode(data, coded);
    EXPECT_EQ(huffmanDecode(coded), data);
}

TEST(Huffman, DecodesAnyFullTreeNotOnlyTheGameShape) {
    // Tree 1[0 'x'][1 [0 'y'][0 'x']]: 'x' has two codes, 0 and 11; 'y' is 10.
    BitWriter bits;
    bits.bit(1);
    bits.leaf('x');
    bits.bit(1);
    bits.leaf('y');
    bits.leaf('x');
    for (unsigned code : {0u, 1u, 0u, 1u, 1u, 0u}) {  // 0, 10, 11, 0
        bits.bit(code);
    }
    EXPECT_EQ(huffmanDecode(huffmanBlock(4, bits.bytes())), bytesOf("xyxx"));
}

// A chain 256 levels deep: internal nodes down child 0, a leaf ('a' + depth % 26) as each
// child 1, and 'Z' at the bottom with a 256-bit code.
BitWriter chainTree(int depth) {
    BitWriter bits;
    for (int d = 0; d < depth; ++d) {
        bits.bit(1);
    }
    bits.leaf('Z');
    for (int d = depth - 1; d >= 0; --d) {
        bits.leaf(static_cast<std::uint8_t>('a' + d % 26));
    }
    return bits;
}

TEST(Huffman, DecodesATree256LevelsDeep) {
    BitWriter bits = chainTree(256);
    for (int i = 0; i < 256; ++i) {
        bits.bit(0);  // 'Z'
    }
    bits.bit(1);  // 'a'
    EXPECT_EQ(huffmanDecode(huffmanBlock(2, bits.bytes())), bytesOf("Za"));
}

struct BadHuffman {
    const char* label;
    Bytes block;
    int number;
};

TEST(Huffman, RejectsMalformedData) {
    BitWriter deep = chainTree(257);
    deep.bit(1);
    BitWriter twoLeaves;
    twoLeaves.bit(1);
    twoLeaves.leaf('a');
    twoLeaves.leaf('b');
    BitWriter oneLeaf;
    oneLeaf.leaf('a');
    BitWriter threeLeaves;  // codes 0, 10, 11, then "111" where six bits are needed
    threeLeaves.bit(1);
    threeLeaves.leaf('a');
    threeLeaves.bit(1);
    threeLeaves.leaf('b');
    threeLeaves.leaf('c');
    threeLeaves.bits(7, 3);
    BitWriter unfinished;
    unfinished.bit(1);
    unfinished.leaf('a');
    Bytes trailing = huffmanBlock(1, twoLeaves.bytes());  // the code (0) is in the padding
    trailing.push_back(0);

    const BadHuffman cases[] = {
        {"no count", {1, 0}, error::kInputPastEnd},
        {"tree deeper than 256", huffmanBlock(1, deep.bytes()), error::kInvalidFormat},
        {"tree past the end", huffmanBlock(1, unfinished.bytes()), error::kInputPastEnd},
        {"no tree", huffmanBlock(0, {}), error::kInputPastEnd},
        {"count beyond the bits", huffmanBlock(20, twoLeaves.bytes()), error::kInputPastEnd},
        {"absurd count", huffmanBlock(0xffffffff, twoLeaves.bytes()), error::kInputPastEnd},
        {"one leaf with a count", huffmanBlock(0xffffffff, oneLeaf.bytes()), error::kInvalidFormat},
        {"codes past the end", huffmanBlock(3, threeLeaves.bytes()), error::kInputPastEnd},
        {"bytes after the codes", trailing, error::kInvalidFormat},
    };
    for (const auto& c : cases) {
        try {
            huffmanDecode(c.block);
            ADD_FAILURE() << c.label;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), c.number) << c.label << ": " << e.what();
        }
    }
}

}  // namespace
}  // namespace varnox::uz::test
