// The codec's pieces where the golden files do not reach every case: compact index, stored
// names, run-length decoding in pieces, the BWT's suffix order, long Huffman codes and other
// code trees. The golden runs.bin holds runs of 4 to 600 bytes, splits at 255 and a count
// equal to its byte.
// Damaged input for each stage is in corrupt_test.cpp, as whole files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <optional>
#include <random>

#include "tests/support/uz_data.h"
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

TEST(CompactIndex, WritesAndReadsEveryForm) {
    const struct {
        std::int32_t value;
        Bytes bytes;
    } cases[] = {
        {0, {0x00}},
        {64, {0x40, 0x01}},
        {-64, {0xc0, 0x01}},
        {8191, {0x7f, 0x7f}},
        {8192, {0x40, 0x80, 0x01}},
        {1 << 20, {0x40, 0x80, 0x80, 0x01}},
        {1 << 27, {0x40, 0x80, 0x80, 0x80, 0x01}},
        {std::numeric_limits<std::int32_t>::max(), {0x7f, 0xff, 0xff, 0xff, 0x0f}},
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
    const Bytes fifthByteFull = {0x7f, 0xff, 0xff, 0xff, 0xff};
    ByteReader reader(fifthByteFull);
    EXPECT_EQ(readCompactIndex(reader), (std::int64_t{1} << 35) - 1) << "all eight bits read";
}

// Written and read back; names that are only read have none to write: the text ends at the
// first NUL, and a lone surrogate becomes U+FFFD.
TEST(StoredName, ChoosesSingleByteOrUtf16AndReadsBack) {
    const struct {
        std::optional<std::string> name;
        Bytes bytes;
        std::string readBack;
    } cases[] = {
        {"", {0x00}, ""},
        {"Ca\xc3\xb1on.unr", join({{0x0a}, bytesOf("Ca\xf1on.unr"), {0}}), "Ca\xc3\xb1on.unr"},
        {"\xe5\x9c\xb0\xe5\x9b\xb3.unr",
         {0x87, 0x30, 0x57, 0xf3, 0x56, '.', 0, 'u', 0, 'n', 0, 'r', 0, 0, 0},
         "\xe5\x9c\xb0\xe5\x9b\xb3.unr"},
        {"\xf0\x9f\x8e\xae", {0x83, 0x3c, 0xd8, 0xae, 0xdf, 0, 0}, "\xf0\x9f\x8e\xae"},
        {"\xff\xfe.u", {0x05, 0xff, 0xfe, '.', 'u', 0}, "\xc3\xbf\xc3\xbe.u"},
        {std::nullopt, {0x05, 'a', 'b', 0, 'c', 0}, "ab"},
        {std::nullopt, {0x83, 0x00, 0xd8, 'x', 0, 0, 0}, "\xef\xbf\xbdx"},
    };
    for (const auto& c : cases) {
        Bytes written;
        if (c.name) {
            writeStoredName(*c.name, written);
            EXPECT_EQ(written, c.bytes) << c.readBack;
        }
        ByteReader reader(c.bytes);
        EXPECT_EQ(readStoredName(reader), c.readBack);
        EXPECT_EQ(reader.remaining(), 0u) << c.readBack;
    }
}

// The decoder takes its input in pieces, as the stages before it give them out: any cut,
// inside a run, before or after a count byte, decodes as the whole does, and the check for
// runs that encoding would have merged sees across cuts too.
TEST(Rle, DecodesTheSameInAnyPieces) {
    // 255 a, 5 a, 9 b, c, 6 b, and then one more b that encoding would have put in the run.
    const Bytes runs = {'x', 'a', 'a', 'a', 'a', 'a', 255, 'a', 'a', 'a', 'a', 'a', 5,  'b',
                        'b', 'b', 'b', 'b', 9,   'c', 'b', 'b', 'b', 'b', 'b', 6,   'b'};
    const struct {
        Bytes in;
        bool reencodes;
    } cases[] = {
        {Bytes(runs.begin(), runs.end() - 1), true},
        {runs, false},
        {{'q', 'q', 'q', 'q', 'q', 7, 'q'}, false},
    };
    for (const auto& c : cases) {
        const Bytes whole = rleDecode(c.in);
        for (std::size_t cut = 0; cut <= c.in.size(); ++cut) {
            for (bool check : {false, true}) {
                Bytes out;
                RleDecoder decoder(
                    [&](std::span<std::uint8_t> p) { out.insert(out.end(), p.begin(), p.end()); },
                    UINT64_MAX, check);
                try {
                    decoder.decode(std::span(c.in).first(cut));
                    decoder.decode(std::span(c.in).subspan(cut));
                    decoder.finish();
                    EXPECT_TRUE(c.reencodes || !check) << "cut at " << cut;
                    EXPECT_EQ(out, whole) << "cut at " << cut;
                } catch (const Error&) {
                    EXPECT_FALSE(c.reencodes || !check) << "cut at " << cut;
                }
            }
        }
    }
}

// The encoder takes its input in any pieces: cuts inside a run, before it, after it and in a
// run longer than 255 give the same as the whole.
TEST(Rle, EncodesTheSameInAnyPieces) {
    const Bytes data = join({bytesOf("abbbbbbc"), Bytes(600, 'x'), bytesOf("xyyyyz"), Bytes(255, 0),
                             Bytes(4, 0), mixedBytes(3000, 4)});
    const Bytes whole = rleEncode(data);
    EXPECT_EQ(rleDecode(whole), data);
    for (std::size_t cut = 0; cut <= 1200; ++cut) {
        for (std::size_t second : {cut, cut + 1, cut + 255}) {
            VectorSink out;
            RleEncoder encoder(out);
            encoder.encode(std::span(data).first(cut));
            encoder.encode(std::span(data).subspan(cut, second - cut));
            encoder.encode(std::span(data).subspan(second));
            encoder.finish();
            ASSERT_EQ(out.bytes, whole) << "cuts at " << cut << " and " << second;
        }
    }
}

// Move-to-front in pieces, each coded afresh and then put right in order (as the encoder
// codes blocks on several cores), gives the whole stream's codes and counts wherever the cut
// falls; and the wide-vector code paths give what the plain ones give.
TEST(Mtf, PiecesAndWideVectorsGiveTheWholeStreamsCodes) {
    Bytes allValues(256);
    std::iota(allValues.begin(), allValues.end(), 0);
    const Bytes kinds[] = {randomBytes(4000, 11), randomBytes(4000, 12, 3), mixedBytes(20000, 13),
                           join({allValues, allValues, Bytes(100, 7)}), bytesOf("a")};
    for (const Bytes& data : kinds) {
        Bytes whole = data;
        mtfEncode(whole);
        std::array<std::uint64_t, 256> wholeCounts{};
        countBytes(whole, wholeCounts);
        for (bool wide : {false, true}) {
            for (std::size_t cut : {std::size_t{0}, std::size_t{1}, data.size() / 3, data.size()}) {
                Bytes coded = data;
                MtfPieceEncoder::Table table;
                std::iota(table.begin(), table.end(), 0);
                std::array<std::uint64_t, 256> counts{};
                for (auto piece : {std::span(coded).first(cut), std::span(coded).subspan(cut)}) {
                    MtfPieceEncoder encoder(wide);
                    encoder.encode(piece, counts);
                    encoder.fix(piece, table, counts);
                }
                EXPECT_EQ(coded, whole) << data.size() << " cut at " << cut << " wide " << wide;
                EXPECT_EQ(counts, wholeCounts) << data.size() << " cut at " << cut;
            }
            Bytes decoded = whole;
            MtfDecoder decoder(wide);
            decoder.decode(std::span(decoded).first(decoded.size() / 2));
            decoder.decode(std::span(decoded).subspan(decoded.size() / 2));
            EXPECT_EQ(decoded, data) << data.size() << " wide " << wide;
        }
    }
}

// The stage in pieces (as the encoder codes blocks on several cores) writes what one piece
// writes: pieces that start and end at any bit, empty ones, ones inside a single byte.
TEST(Huffman, PiecesStartingAtAnyBitWriteWhatTheWholeWrites) {
    const Bytes data = mixedBytes(5000, 21);
    std::array<std::uint64_t, 256> total{};
    countBytes(data, total);
    const std::span<const std::uint8_t> all(data);
    VectorSink whole;
    huffmanEncode(std::span(&all, 1), std::span(&total, 1), whole);
    EXPECT_EQ(huffmanDecode(whole.bytes), data);
    std::mt19937_64 random(22);
    for (int round = 0; round < 40; ++round) {
        std::vector<std::span<const std::uint8_t>> pieces;
        std::vector<ByteCounts> counts;
        for (std::size_t at = 0; at < data.size();) {
            // Empty pieces, pieces of a byte or two, and longer ones.
            const std::size_t choices[] = {0, 1, 2, random() % 700};
            const std::size_t size = std::min(data.size() - at, choices[random() % 4]);
            pieces.push_back(all.subspan(at, size));
            counts.emplace_back();
            countBytes(pieces.back(), counts.back());
            at += size;
        }
        VectorSink out;
        huffmanEncode(pieces, counts, out);
        ASSERT_EQ(out.bytes, whole.bytes) << "round " << round;
    }
}

// The format's order, by the definition: bytes compare over the shorter suffix; of a
// suffix and its own prefix the longer sorts first. The encoder (which takes the library's
// transform rather than the order) writes each block as that order gives it.
TEST(Bwt, SuffixOrderFollowsTheComparisonRuleAndTheEncoderWritesIt) {
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        // Any bytes or one to four letters; every other block a short pattern repeated, the
        // case that stresses suffix sorts.
        Bytes block = randomBytes(1 + seed % 97, seed, seed % 3 == 0 ? 256 : 1 + seed % 4);
        const std::size_t period = seed % 2 == 0 ? 1 + seed % 7 : block.size();
        for (std::size_t i = period; i < block.size(); ++i) {
            block[i] = block[i - period];
        }
        std::vector<std::int32_t> order(block.size() + 1);
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const auto [atA, atB] =
                std::mismatch(block.begin() + a, block.end(), block.begin() + b, block.end());
            if (atA != block.end() && atB != block.end()) {
                return *atA < *atB;
            }
            return a < b;  // one is a prefix of the other: the longer first
        });
        EXPECT_EQ(bwtSuffixOrder(block), order) << seed;
        Bytes stored;
        for (std::size_t k = 0; k <= block.size(); ++k) {
            stored.push_back(block[order[k] == 0 ? 0 : order[k] - 1]);
        }
        const auto at = [&](std::int32_t p) {
            return static_cast<std::uint32_t>(std::find(order.begin(), order.end(), p) -
                                              order.begin());
        };
        EXPECT_EQ(bwtEncode(block), join({le32(static_cast<std::uint32_t>(block.size())),
                                          le32(at(1)), le32(at(0)), stored}))
            << seed;
    }
}

TEST(Huffman, CodesLongerThanTheLookupTableAndThanAWordAndAnyTreeUpTo256LevelsDeep) {
    // Counts falling as Fibonacci numbers with the byte value make a chain-shaped tree:
    // the two rarest values get 33-bit codes.
    std::array<std::uint64_t, 256> counts{};
    Bytes data;
    for (int value = 33; value >= 0; --value) {
        counts[value] = value >= 32 ? 1 : counts[value + 1] + counts[value + 2];
        data.insert(data.end(), counts[value], static_cast<std::uint8_t>(value));
    }
    EXPECT_EQ(huffmanCodeLengths(counts)[33], 33);
    std::rotate(data.begin(), data.begin() + data.size() / 3, data.end());
    Bytes coded;
    huffmanEncode(data, coded);
    EXPECT_EQ(huffmanDecode(coded), data);

    // Any full tree decodes, whatever shape the encoder would give: the tree
    // 1[0 'x'][1 [0 'y'][0 'x']] gives 'x' two codes, 0 and 11, and 'y' 10; then x y x x.
    EXPECT_EQ(huffmanDecode(huffmanBlock(4, bitsOf("1x1yx010110"))), bytesOf("xyxx"));

    // A chain 256 levels deep: internal nodes down child 0, a leaf as each child 1, and 'Z'
    // at the bottom with a 256-bit code.
    std::string chain = std::string(256, '1') + "Z";
    for (int d = 255; d >= 0; --d) {
        chain += static_cast<char>('a' + d % 26);
    }
    chain += std::string(256, '0') + "1";  // 'Z', then 'a'
    EXPECT_EQ(huffmanDecode(huffmanBlock(2, bitsOf(chain))), bytesOf("Za"));
}

}  // namespace
}  // namespace varnox::uz::test
