// The decoder on damaged input: every fault ends in uz::Error with a fitting number,
// never a crash, a hang or an allocation a header field asks for.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/uz_data.h"
#include "uz/bwt.h"
#include "uz/codec.h"
#include "uz/huffman.h"
#include "uz/mtf.h"
#include "uz/rle.h"

namespace varnox::uz::test {
namespace {

constexpr int kPast = error::kInputPastEnd;
constexpr int kBad = error::kInvalidFormat;

Bytes huffman(const Bytes& stream) {
    Bytes out;
    huffmanEncode(stream, out);
    return out;
}

// A 1234 file whose BWT stage holds exactly `blocks` (headers and bytes as given).
Bytes fileWithBwtStream(Bytes blocks) {
    mtfEncode(blocks);
    return uzFile(1234, "x", huffman(blocks));
}

// A 1234 file of one BWT block with the given header and bytes.
Bytes fileWithBwtBlock(std::uint32_t n, std::uint32_t first, std::uint32_t last,
                       std::string_view bytes) {
    return fileWithBwtStream(join({le32(n), le32(first), le32(last), bytesOf(bytes)}));
}

// A 1234 file whose outer run-length stage holds exactly `runs`.
Bytes fileWithRuns(const Bytes& runs) {
    return fileWithBwtStream(bwtEncode(runs));
}

// The run-length encoding of `in` with a run split early: five bytes of the first run of six
// or more, then the rest of it. It decodes to the same bytes.
Bytes rleSplitEarly(const Bytes& in) {
    std::size_t at = 5;
    while (std::count(in.begin() + at - 5, in.begin() + at + 1, in[at]) < 6) {
        ++at;
    }
    return join({rleEncode(std::span(in).first(at)), rleEncode(std::span(in).subspan(at))});
}

// Damage within the data's length (cut files are in DamagedFilesDecodeOrFailCleanly) fails
// to decode and to verify alike. A stream of five blocks is restored by a second thread while
// the first still decodes the Huffman codes: faults in later blocks, and in the codes after
// them, come out the same way. Last, files that decode, each to its package, but that our
// encoder (like the game's) would not write for it: verification tells each, naming where it
// differs.
TEST(CorruptInput, EachKindOfDamageEndsInAClearError) {
    const Bytes abra = readBytes(vectorsDir() / "1234" / "abra.bin.uz");
    const Bytes body = Bytes(abra.begin() + 14, abra.end());  // after signature and name
    const Bytes header = le32(1234);
    const Bytes blocks = bwtEncode(randomBytes(5 * kBwtBlockSize, 31));
    const std::size_t third = 2 * (kBwtBlockSize + 13);  // where block 3 starts
    Bytes tooLong = blocks, swapped = blocks;
    tooLong[third] = 1;  // n = 0x40001
    std::swap(swapped[third + 100], swapped[third + 200000]);
    const Bytes zeros(30000, 0);
    const Bytes mixed = mixedBytes(300000, 9);
    const Bytes runs = rleEncode(mixed);
    Bytes inner = bwtEncode(rleEncode(zeros));
    mtfEncode(inner);
    Bytes padded = readBytes(vectorsDir() / "1234" / "empty.bin.uz");
    padded.back() ^= 0x80;
    const std::string again = "encoding its package again gives other bytes: ";
    const struct {
        const char* label;
        Bytes file;
        int number;
        // For a file that decodes: how verification's message starts, and the package.
        std::string notEncoding = {};
        Bytes package = {};
    } cases[] = {
        {"unknown signature", uzFile(4321, "abra.bin", body), kBad},
        {"name length cut short", join({header, {0x40, 0x80}}), kPast},
        {"name past the end", join({header, {0x7f, 0xff, 0xff, 0xff, 0x0f}, {'a', 0}}), kPast},
        {"utf16 name too long", join({header, {0xff, 0xff, 0xff, 0xff, 0x07}, {'a', 0}}), kPast},
        {"odd utf16 name", join({header, {0x82, 'a', 0, 0}}), kPast},
        {"name without its NUL", join({header, {0x03, 'a', 'b', 'c'}, body}), kBad},
        {"utf16 name without its NUL", join({header, {0x81, 'a', 0}, body}), kBad},
        {"tree deeper than 256",
         uzFile(1234, "x", huffmanBlock(1, bitsOf(std::string(257, '1') + "a"))), kBad},
        {"absurd count",
         uzFile(1234, "x", join({le32(0xffffffff), Bytes(body.begin() + 4, body.end())})), kPast},
        {"one leaf with a count", uzFile(1234, "x", huffmanBlock(0xffffffff, bitsOf("a"))), kBad},
        {"bytes after the codes", join({abra, {0}}), kBad},
        {"BWT header cut short", fileWithBwtStream(join({le32(11), le32(5)})), kPast},
        {"BWT n above 0x40000", fileWithBwtBlock(0x40001, 0, 1, std::string(0x40002, 'a')), kBad},
        {"BWT n huge", fileWithBwtBlock(0xffffffff, 0, 1, "ab"), kBad},
        {"BWT n zero", fileWithBwtBlock(0, 0, 0, "a"), kBad},
        {"BWT bytes missing", fileWithBwtBlock(11, 5, 0, "adrcr"), kPast},
        {"BWT First out of range", fileWithBwtBlock(11, 12, 0, "adrcraaaabba"), kBad},
        {"BWT Last out of range", fileWithBwtBlock(11, 5, 99, "adrcraaaabba"), kBad},
        {"BWT First equals Last", fileWithBwtBlock(11, 5, 5, "adrcraaaabba"), kBad},
        {"BWT bytes that do not restore", fileWithBwtBlock(11, 5, 0, "ardcraaaabba"), kBad},
        {"RLE count below 5", fileWithRuns(join({bytesOf("aaaaa"), {3}})), kBad},
        {"RLE count 0 after a full run",
         fileWithRuns(join({Bytes(5, 'a'), {255}, Bytes(5, 'a'), {0}})), kBad},
        {"RLE count missing", fileWithRuns(bytesOf("xyzzzzz")), kPast},
        {"inner RLE count below 5", uzFile(5678, "x", huffman(join({Bytes(5, 7), {2}}))), kBad},
        {"block 3 too long", fileWithBwtStream(tooLong), kBad},
        {"block 3 does not restore", fileWithBwtStream(swapped), kBad},
        {"last block cut", fileWithBwtStream(Bytes(blocks.begin(), blocks.end() - 1000)), kPast},
        {"bytes after many codes", join({fileWithBwtStream(blocks), {0x55}}), kBad},
        {"UTF-16 name of 8-bit text", join({header, {0x82, 'a', 0, 0, 0}, body}), kBad,
         again + "the stored name", bytesOf("abracadabra")},
        {"another code tree", uzFile(1234, "e", huffmanBlock(0, bitsOf("a"))), kBad,
         again + "the Huffman code tree"},
        {"padding bits set", padded, kBad, again + "the bits after the last Huffman code"},
        {"runs split early", fileWithRuns(rleSplitEarly(zeros)), kBad,
         "the run-length data goes on", zeros},
        {"inner runs split early", uzFile(5678, "x", huffman(rleSplitEarly(inner))), kBad,
         "the run-length data goes on", zeros},
        {"a short block before the last",
         fileWithBwtStream(join(
             {bwtEncode(std::span(runs).first(1000)), bwtEncode(std::span(runs).subspan(1000))})),
         kBad, again + "BWT block 1 holds 1000 bytes", mixed},
    };
    for (const auto& c : cases) {
        expectUzError(
            c.label, c.number, [&] { verify(c.file); }, c.notEncoding);
        if (c.notEncoding.empty()) {
            expectUzError(c.label, c.number, [&] { decode(c.file); });
        } else {
            EXPECT_TRUE(decode(c.file).package == c.package) << c.label;
        }
    }
    // Intact, the stream of five blocks decodes.
    EXPECT_TRUE(decode(fileWithBwtStream(blocks)).package ==
                rleDecode(randomBytes(5 * kBwtBlockSize, 31)));
}

// Damage to the golden files: every cut of several, every single-bit flip of a small one,
// and random edits of every other kind to several. Every cut fails as data that ends early. The
// format has no checksum, so some damage (a code-tree leaf's value, say) makes another valid file
// that decodes to another package; no decoder can tell. What must hold: decoding fails in no other
// way than uz::Error; flips in the signature and the count always fail, some flips (in the padding,
// say) change nothing and most damage fails; what decodes survives a round trip of its own; and
// verification accepts a damaged file exactly when encoding what it decodes to gives it back, so it
// tells some damage to another package.
TEST(CorruptInput, DamagedFilesDecodeOrFailCleanly) {
    int caught = 0;  // damage to another package that verification tells
    // 0 when `file` fails to decode, 1 when it decodes to `package`, 2 to another.
    auto decodeDamaged = [&](const Bytes& file, const Bytes& package) {
        Decoded decoded;
        try {
            decoded = decode(file);
        } catch (const Error&) {
            return 0;
        }
        const Bytes again = encode(decoded.package, decoded.storedName, decoded.signature);
        EXPECT_EQ(decode(again).package, decoded.package);
        if (again == file) {
            verify(file);
        } else {
            expectUzError("verifying damage that decodes", kBad, [&] { verify(file); });
            caught += decoded.package != package;
        }
        return decoded.package == package ? 1 : 2;
    };

    for (const char* file : {"1234/abra.bin.uz", "5678/abra.bin.uz", "1234/text.bin.uz",
                             "5678/runs.bin.uz", "1234/empty.bin.uz", "5678/twoblocks.bin.uz"}) {
        const Bytes whole = readBytes(vectorsDir() / file);
        // Every cut of the small files; a sample across the two blocks of the big one.
        const std::size_t step = whole.size() > 100000 ? 997 : 1;
        for (std::size_t size = 0; size < whole.size(); size += step) {
            expectUzError(std::string(file) + " cut to " + std::to_string(size), kPast,
                          [&] { decode(std::span(whole).first(size)); });
        }
    }

    const Bytes abra = readBytes(vectorsDir() / "abra.bin");
    for (const char* file : {"1234/abra.bin.uz", "5678/abra.bin.uz"}) {
        const Bytes original = readBytes(vectorsDir() / file);
        int outcomes[3] = {};
        for (std::size_t bit = 0; bit < original.size() * 8; ++bit) {
            Bytes flipped = original;
            flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            const int outcome = decodeDamaged(flipped, abra);
            ++outcomes[outcome];
            const bool inSignatureOrCount = bit < 32 || (bit >= 14 * 8 && bit < 18 * 8);
            EXPECT_TRUE(outcome == 0 || !inSignatureOrCount) << file << " bit " << bit;
        }
        EXPECT_GT(outcomes[1], 0) << file;
        EXPECT_GT(outcomes[0], 10 * outcomes[2]) << file;
    }
    EXPECT_GT(caught, 0);

    std::vector<std::pair<Bytes, Bytes>> originals;  // a file and its package
    for (std::string name :
         {"1234/abra.bin", "5678/abra.bin", "1234/runs.bin", "5678/text.bin", "1234/allbytes.bin",
          "5678/zeros.bin", "1234/package.bin", "5678/one.bin"}) {
        originals.emplace_back(readBytes(vectorsDir() / (name + ".uz")),
                               readBytes(vectorsDir() / name.substr(5)));
    }
    std::mt19937_64 random(20240601);
    int failed = 0;
    for (int round = 0; round < 3000; ++round) {
        const auto& [original, package] = originals[random() % originals.size()];
        Bytes file = original;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !file.empty(); ++e) {
            const std::size_t at = random() % file.size();
            const auto where = file.begin() + static_cast<std::ptrdiff_t>(at);
            switch (random() % 4) {
                case 0:  // one bit or more changed
                    file[at] ^= static_cast<std::uint8_t>(1 + random() % 255);
                    break;
                case 1:
                    file.insert(where, static_cast<std::uint8_t>(random()));
                    break;
                case 2:
                    file.erase(where);
                    break;
                default:  // a large value over whatever field lies there
                    for (std::size_t i = at; i < at + 4 && i < file.size(); ++i) {
                        file[i] = static_cast<std::uint8_t>(0xff >> (random() % 3));
                    }
            }
        }
        failed += decodeDamaged(file, package) == 0;
    }
    EXPECT_GT(failed, 2000);
}

}  // namespace
}  // namespace varnox::uz::test
