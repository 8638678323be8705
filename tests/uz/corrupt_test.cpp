// The decoder on damaged input: every fault ends in uz::Error with a fitting number,
// never a crash, a hang or an allocation a header field asks for.
#include <gtest/gtest.h>

#include <random>

#include "tests/uz/uz_test_support.h"
#include "uz/bwt.h"
#include "uz/codec.h"
#include "uz/huffman.h"
#include "uz/mtf.h"
#include "uz/rle.h"

namespace varnox::uz::test {
namespace {

constexpr std::uint32_t k1234 = 1234;
constexpr std::uint32_t k5678 = 5678;

Bytes le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes huffman(const Bytes& stream) {
    Bytes out;
    huffmanEncode(stream, out);
    return out;
}

// A 1234 file whose BWT stage holds exactly `blocks` (headers and bytes as given).
Bytes fileWithBwtStream(Bytes blocks) {
    mtfEncode(blocks);
    return uzFile(k1234, "x", huffman(blocks));
}

// A 1234 file whose outer run-length stage holds exactly `runs`.
Bytes fileWithRuns(const Bytes& runs) {
    return fileWithBwtStream(bwtEncode(runs));
}

Bytes bwtBlock(std::uint32_t n, std::uint32_t first, std::uint32_t last, const Bytes& bytes) {
    return join({le32(n), le32(first), le32(last), bytes});
}

struct CorruptCase {
    const char* label;
    Bytes file;
    int number;
};

bool verifies(const Bytes& file) {
    try {
        verify(file);
        return true;
    } catch (const Error&) {
        return false;
    }
}

void expectEachFails(std::initializer_list<CorruptCase> cases) {
    for (const auto& c : cases) {
        expectUzError(c.label, c.number, [&] { decode(c.file); });
    }
}

TEST(CorruptInput, EachKindOfDamageEndsInAClearError) {
    const Bytes abra = readBytes(vectorsDir() / "1234" / "abra.bin.uz");
    const Bytes body = Bytes(abra.begin() + 14, abra.end());  // after signature and name
    const Bytes header = le32(k1234);
    const Bytes twoLeaves = bitsOf("1ab");
    expectEachFails({
        {"empty file", {}, error::kInputPastEnd},
        {"signature cut short", {0xd2, 0x04}, error::kInputPastEnd},
        {"unknown signature", uzFile(4321, "abra.bin", body), error::kInvalidFormat},
        {"signature 0", uzFile(0, "abra.bin", body), error::kInvalidFormat},
        {"no name", header, error::kInputPastEnd},
        {"name length cut short", join({header, {0x40, 0x80}}), error::kInputPastEnd},
        {"name longer than the file", join({header, {0x7f, 0xff, 0xff, 0xff, 0x0f}, {'a', 0}}),
         error::kInputPastEnd},
        {"utf16 name longer than the file",
         join({header, {0xff, 0xff, 0xff, 0xff, 0x07}, {'a', 0}}), error::kInputPastEnd},
        {"odd utf16 name", join({header, {0x82, 'a', 0, 0}}), error::kInputPastEnd},
        {"name without its NUL", join({header, {0x03, 'a', 'b', 'c'}, body}),
         error::kInvalidFormat},
        {"utf16 name without its NUL", join({header, {0x81, 'a', 0}, body}), error::kInvalidFormat},
        {"no Huffman count", uzFile(k1234, "x", {0x18, 0}), error::kInputPastEnd},
        {"no tree", uzFile(k1234, "x", le32(24)), error::kInputPastEnd},
        {"tree past the end", uzFile(k1234, "x", huffmanBlock(1, bitsOf("1a"))),
         error::kInputPastEnd},
        {"tree deeper than 256",
         uzFile(k1234, "x", huffmanBlock(1, bitsOf(std::string(257, '1') + "a"))),
         error::kInvalidFormat},
        {"absurd Huffman count",
         uzFile(k1234, "x", join({le32(0xffffffff), Bytes(body.begin() + 4, body.end())})),
         error::kInputPastEnd},
        {"count beyond the bits", uzFile(k1234, "x", huffmanBlock(20, twoLeaves)),
         error::kInputPastEnd},
        {"one leaf with a count", uzFile(k1234, "x", huffmanBlock(0xffffffff, bitsOf("a"))),
         error::kInvalidFormat},
        {"codes past the end", Bytes(abra.begin(), abra.end() - 1), error::kInputPastEnd},
        {"bytes after the codes", join({abra, {0}}), error::kInvalidFormat},
        {"BWT header cut short", fileWithBwtStream(join({le32(11), le32(5)})),
         error::kInputPastEnd},
        {"BWT n above 0x40000", fileWithBwtStream(bwtBlock(0x40001, 0, 1, Bytes(0x40002, 'a'))),
         error::kInvalidFormat},
        {"BWT n huge", fileWithBwtStream(bwtBlock(0xffffffff, 0, 1, bytesOf("ab"))),
         error::kInvalidFormat},
        {"BWT n zero", fileWithBwtStream(bwtBlock(0, 0, 0, bytesOf("a"))), error::kInvalidFormat},
        {"BWT bytes missing", fileWithBwtStream(bwtBlock(11, 5, 0, bytesOf("adrcr"))),
         error::kInputPastEnd},
        {"BWT First out of range", fileWithBwtStream(bwtBlock(11, 12, 0, bytesOf("adrcraaaabba"))),
         error::kInvalidFormat},
        {"BWT Last out of range", fileWithBwtStream(bwtBlock(11, 5, 99, bytesOf("adrcraaaabba"))),
         error::kInvalidFormat},
        {"BWT First equals Last", fileWithBwtStream(bwtBlock(11, 5, 5, bytesOf("adrcraaaabba"))),
         error::kInvalidFormat},
        {"BWT bytes that do not restore",
         fileWithBwtStream(bwtBlock(11, 5, 0, bytesOf("ardcraaaabba"))), error::kInvalidFormat},
        {"RLE count below 5", fileWithRuns(join({bytesOf("aaaaa"), {3}})), error::kInvalidFormat},
        {"RLE count 0 after a full run",
         fileWithRuns(join({Bytes(5, 'a'), {255}, Bytes(5, 'a'), {0}})), error::kInvalidFormat},
        {"RLE count missing", fileWithRuns(bytesOf("xyzzzzz")), error::kInputPastEnd},
        {"inner RLE count below 5", uzFile(k5678, "x", huffman(join({Bytes(5, 7), {2}}))),
         error::kInvalidFormat},
    });
}

// Runs of at most `longest` bytes, as an encoder that splits runs earlier would write them:
// they decode to the same bytes.
Bytes rleSplitAt(const Bytes& in, std::size_t longest) {
    Bytes out;
    for (std::size_t i = 0; i < in.size();) {
        std::size_t run = 1;
        while (i + run < in.size() && run < longest && in[i + run] == in[i]) {
            ++run;
        }
        out.insert(out.end(), std::min<std::size_t>(run, 5), in[i]);
        if (run >= 5) {
            out.push_back(static_cast<std::uint8_t>(run));
        }
        i += run;
    }
    return out;
}

// Files that decode, each to its package, but that our encoder (like the game's) would not
// write for it: verification tells each, naming where it differs.
TEST(CorruptInput, VerificationTellsFilesThatAreNotWhatEncodingGives) {
    const Bytes abra = readBytes(vectorsDir() / "1234" / "abra.bin.uz");
    const Bytes body(abra.begin() + 14, abra.end());
    const Bytes zeros(30000, 0);
    const Bytes runs = rleEncode(mixedBytes(300000, 9));
    Bytes inner = bwtEncode(rleEncode(zeros));
    mtfEncode(inner);
    Bytes padded = readBytes(vectorsDir() / "1234" / "empty.bin.uz");
    padded.back() ^= 0x80;
    const struct {
        const char* label;
        Bytes file;
        const char* where;
    } cases[] = {
        {"a UTF-16 name of single-byte text", join({le32(k1234), {0x82, 'a', 0, 0, 0}, body}),
         "stored name"},
        {"a name going on after its NUL", join({le32(k1234), {0x04, 'a', 0, 'b', 0}, body}),
         "stored name"},
        {"another code tree", uzFile(k1234, "e", huffmanBlock(0, bitsOf("a"))), "code tree"},
        {"padding bits set", padded, "after the last Huffman code"},
        {"runs split early", fileWithRuns(rleSplitAt(zeros, 10)), "run-length"},
        {"inner runs split early", uzFile(k5678, "x", huffman(rleSplitAt(inner, 10))),
         "run-length"},
        {"a short block before the last",
         fileWithBwtStream(join(
             {bwtEncode(std::span(runs).first(1000)), bwtEncode(std::span(runs).subspan(1000))})),
         "BWT block 1 holds 1000 bytes"},
    };
    for (const auto& c : cases) {
        EXPECT_NO_THROW(decode(c.file)) << c.label;
        try {
            verify(c.file);
            ADD_FAILURE() << c.label << ": verified";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), error::kInvalidFormat) << c.label;
            EXPECT_NE(std::string(e.what()).find(c.where), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(decode(cases[4].file).package, zeros);
    EXPECT_EQ(decode(cases[5].file).package, zeros);
}

// Streams of more than two blocks are restored by a second thread while the first is still
// decoding the Huffman codes; faults in later blocks, and in the codes after them, must
// come out the same way.
TEST(CorruptInput, FaultsDeepInALargeFileEndInAClearError) {
    const Bytes blocks = bwtEncode(randomBytes(5 * kBwtBlockSize, 31));
    const std::size_t third = 2 * (kBwtBlockSize + 13);  // where block 3 starts
    auto setU32 = [](Bytes b, std::size_t at, std::uint32_t v) {
        const Bytes le = le32(v);
        std::copy(le.begin(), le.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return fileWithBwtStream(std::move(b));
    };
    Bytes swapped = blocks;
    std::swap(swapped[third + 100], swapped[third + 200000]);
    expectEachFails({
        {"block 3 too long", setU32(blocks, third, 0x40001), error::kInvalidFormat},
        {"block 3 First out of range", setU32(blocks, third + 4, 0x40001), error::kInvalidFormat},
        {"block 3 does not restore", fileWithBwtStream(swapped), error::kInvalidFormat},
        {"last block cut short", fileWithBwtStream(Bytes(blocks.begin(), blocks.end() - 1000)),
         error::kInputPastEnd},
        {"bytes after the codes", join({fileWithBwtStream(blocks), {0x55}}), error::kInvalidFormat},
    });
    // Intact, the same stream decodes.
    EXPECT_TRUE(decode(fileWithBwtStream(blocks)).package ==
                rleDecode(randomBytes(5 * kBwtBlockSize, 31)));
}

TEST(CorruptInput, EveryTruncationFails) {
    for (const char* file : {"1234/abra.bin.uz", "5678/abra.bin.uz", "1234/text.bin.uz",
                             "5678/runs.bin.uz", "1234/empty.bin.uz", "5678/twoblocks.bin.uz"}) {
        const Bytes whole = readBytes(vectorsDir() / file);
        // Every cut of the small files; a sample across the two blocks of the big one.
        const std::size_t step = whole.size() > 100000 ? 997 : 1;
        for (std::size_t size = 0; size < whole.size(); size += step) {
            EXPECT_THROW(decode(std::span<const std::uint8_t>(whole.data(), size)), Error)
                << file << " cut to " << size << " bytes";
        }
    }
}

// Random damage of every kind to the golden files: decoding either works or raises
// uz::Error. Whatever decodes must survive a round trip of its own.
TEST(CorruptInput, RandomMutationsFailCleanly) {
    std::vector<Bytes> originals;
    for (const char* file :
         {"1234/abra.bin.uz", "5678/abra.bin.uz", "1234/runs.bin.uz", "5678/text.bin.uz",
          "1234/allbytes.bin.uz", "5678/zeros.bin.uz", "1234/package.bin.uz", "5678/one.bin.uz"}) {
        originals.push_back(readBytes(vectorsDir() / file));
    }
    std::mt19937_64 random(20240601);
    int failed = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes file = originals[random() % originals.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !file.empty(); ++e) {
            const std::size_t at = random() % file.size();
            const auto where = file.begin() + static_cast<std::ptrdiff_t>(at);
            switch (random() % 6) {
                case 0:
                    file[at] ^= static_cast<std::uint8_t>(1u << (random() % 8));
                    break;
                case 1:
                    file[at] = static_cast<std::uint8_t>(random());
                    break;
                case 2:
                    file.insert(where, static_cast<std::uint8_t>(random()));
                    break;
                case 3:
                    file.erase(where);
                    break;
                case 4:
                    file.resize(at);
                    break;
                default:  // a large value over whatever field lies there
                    for (std::size_t i = at; i < at + 4 && i < file.size(); ++i) {
                        file[i] = static_cast<std::uint8_t>(0xff >> (random() % 3));
                    }
            }
        }
        try {
            const Decoded result = decode(file);
            EXPECT_EQ(decode(encode(result.package, result.storedName, result.signature)).package,
                      result.package);
        } catch (const Error&) {
            ++failed;
        }
    }
    EXPECT_GT(failed, 2000);
}

// Every single-bit flip of a small file. The format has no checksum, so some flips (a
// code-tree leaf's value, say) make another valid file that decodes to another package;
// no decoder can tell. What must hold: decoding never fails in any other way than
// uz::Error, flips in the signature and the count always fail, most others fail too, and
// flips in the padding change nothing. Verification accepts a flipped file exactly when
// encoding what it decodes to gives it back, and so tells some flips to another package.
TEST(CorruptInput, EverySingleBitFlipDecodesOrFailsCleanly) {
    const Bytes package = readBytes(vectorsDir() / "abra.bin");
    int caught = 0;  // flips to another package that verification tells
    for (const char* file : {"1234/abra.bin.uz", "5678/abra.bin.uz"}) {
        const Bytes original = readBytes(vectorsDir() / file);
        int same = 0;
        int failed = 0;
        int other = 0;
        for (std::size_t bit = 0; bit < original.size() * 8; ++bit) {
            Bytes flipped = original;
            flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            const bool inSignatureOrCount = bit < 32 || (bit >= 14 * 8 && bit < 18 * 8);
            try {
                const Decoded decoded = decode(flipped);
                EXPECT_FALSE(inSignatureOrCount) << file << " bit " << bit;
                ++(decoded.package == package ? same : other);
                // Verification is exactly a comparison with encoding the package again.
                const bool reencodes =
                    encode(decoded.package, decoded.storedName, decoded.signature) == flipped;
                EXPECT_EQ(verifies(flipped), reencodes) << file << " bit " << bit;
                caught += !reencodes && decoded.package != package;
            } catch (const Error&) {
                ++failed;
            }
        }
        EXPECT_GT(same, 0) << file;
        EXPECT_GT(failed, 10 * other) << file;
    }
    EXPECT_GT(caught, 0);
    // The empty package's Huffman part is a count and a nine-bit tree: seven bits of
    // padding that no decoder reads.
    Bytes padded = readBytes(vectorsDir() / "1234" / "empty.bin.uz");
    padded.back() ^= 0xfe;
    EXPECT_TRUE(decode(padded).package.empty());
}

}  // namespace
}  // namespace varnox::uz::test
