// The whole codec: the golden files both ways for both signatures, the one file made by the
// game's own tools, round trips over inputs that reach each stage's edges, and the errors
// of the file functions.
#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/uz_data.h"
#include "uz/bwt.h"
#include "uz/codec.h"
#include "uz/encoder.h"
#include "uz/files.h"
#include "uz/parallel.h"

namespace varnox::uz::test {
namespace {

namespace fs = std::filesystem;

TEST(Golden, EveryVectorEncodesByteForByteAndDecodesForBothSignatures) {
    const std::pair<Signature, const char*> kinds[] = {{Signature::Standard, "1234"},
                                                       {Signature::DoubleRle, "5678"}};
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(vectorsDir())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".bin") {
            continue;
        }
        const Bytes package = readBytes(entry.path());
        for (const auto& [signature, folder] : kinds) {
            SCOPED_TRACE(std::string(folder) + "/" + name);
            const Bytes file = readBytes(vectorsDir() / folder / (name + ".uz"));
            EXPECT_EQ(encode(package, name, signature), file);
            EXPECT_EQ(encode(Bytes(package), name, signature), file) << "giving up the package";
            const Decoded decoded = decode(file);
            EXPECT_EQ(decoded.package, package);
            EXPECT_EQ(decoded.storedName, name);
            EXPECT_EQ(decoded.signature, signature);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 20);
}

// The real file is a game file: it is read from beside the repository and not kept in it.
// Its package is what the game's tools compressed, so re-encoding it must give the same file.
TEST(Golden, TheGamesOwnFileDecodesAndReencodesToTheSameBytes) {
    const fs::path path = varnox::test::sourcePath("../shared/uz-vectors/real/UTCredits.unr.uz");
    if (!fs::exists(path)) {
        GTEST_SKIP() << "no " << path;
    }
    const Bytes file = readBytes(path);
    const Decoded decoded = decode(file);
    EXPECT_EQ(decoded.signature, Signature::DoubleRle);
    EXPECT_EQ(encode(decoded.package, "UTCredits.unr", Signature::DoubleRle), file);
}

// Cases beyond the golden files (which hold the empty, one-byte and all-values packages and
// runs of every length around 5 and 255). Random bytes keep their size through the first
// run-length pass, so the two "block" cases put exactly that many bytes into the BWT.
TEST(RoundTrip, BothSignaturesOverInputsAtEachStagesEdges) {
    Bytes allValuesInRuns;
    for (int v = 0; v < 256; ++v) {
        allValuesInRuns.insert(allValuesInRuns.end(), 1 + v, static_cast<std::uint8_t>(v));
    }
    const std::pair<const char*, Bytes> cases[] = {
        {"run heavy", mixedBytes(300000, 3)},
        {"two symbols", randomBytes(100000, 5, 2)},
        {"0x40000", randomBytes(kBwtBlockSize, 6)},
        {"0x40001", randomBytes(kBwtBlockSize + 1, 7)},
        {"several blocks", mixedBytes(3 * kBwtBlockSize + 12345, 8)},
        {"all values in runs", allValuesInRuns},
    };
    for (const auto& [label, package] : cases) {
        for (Signature signature : {Signature::Standard, Signature::DoubleRle}) {
            EXPECT_TRUE(decode(encode(package, "Test.unr", signature)).package == package)
                << label << " " << static_cast<int>(signature);
        }
    }
    EXPECT_THROW(encode(Bytes{1, 2, 3}, "a", static_cast<Signature>(4321)), Error);
    EXPECT_THROW(encode(Bytes{1, 2, 3}, std::string_view("a\0b", 3)), Error);
}

// The encoder sorts blocks on several cores while the package comes in pieces: around the
// block counts where the cores run out of blocks or get several each, cut anywhere (inside
// runs that cross blocks too), it writes what encoding the whole at once writes.
TEST(RoundTrip, ThePackageInAnyPiecesEncodesAsTheWhole) {
    const std::size_t blocks = TaskPool::threads() + 2;
    for (std::size_t size : {std::size_t{0}, kBwtBlockSize - 1, 2 * kBwtBlockSize + 1,
                             blocks * kBwtBlockSize, blocks * kBwtBlockSize + 7}) {
        // Runs of zeros shrink in the first stage: the package is a little larger, so the
        // stage still fills about that many blocks.
        const Bytes package = mixedBytes(size + size / 8, size);
        const Bytes whole = encode(package, "P.unr");
        EXPECT_EQ(decode(whole).package, package) << size;
        for (std::size_t piece : {std::size_t{1} << 16, std::size_t{333333}}) {
            VectorSink out;
            PackageEncoder encoder(Signature::Standard);
            for (std::size_t at = 0; at < package.size(); at += piece) {
                encoder.write(std::span(package).subspan(at, std::min(piece, package.size() - at)));
            }
            encoder.finish(out);
            EXPECT_TRUE(join({encodeHeader("P.unr", Signature::Standard), out.bytes}) == whole)
                << size << " in pieces of " << piece;
        }
    }
}

// Zero runs made without the package (as the large-package tests make theirs) encode as the
// package does; decoding such a file refuses to grow beyond a size limit.
TEST(RoundTrip, ZeroRunsEncodeAsThePackageAndDecodingStopsAtASizeLimit) {
    for (std::size_t size : {0, 4, 5, 255, 256, 260, 1 << 20}) {
        for (Signature signature : {Signature::Standard, Signature::DoubleRle}) {
            const Bytes file = encode(Bytes(size, 0), "Z.unr", signature);
            EXPECT_EQ(encodeZeros(size, "Z.unr", signature), file) << size;
            if (size == 1 << 20) {
                ASSERT_LT(file.size() * 100, size);  // a hundredfold growth at least
                expectUzError("limited", error::kOverflow, [&] { decode(file, 100000); });
                EXPECT_EQ(decode(file, size).package, Bytes(size, 0));
            }
        }
    }
}

// Errors carry a number, name the file concerned and leave no temporary file; a package that
// was there stays. (A file that is not there to read is left to the ucc tests, through
// compress and verify.) Big.unr.uz is larger than the decoder's reading window and codes about
// one bit per byte, so the count of coded bytes is checked against the whole file, not the
// window; it is decoded on all cores and written in pieces, onto a disk that fills part
// way, then onto one with room. Compressing its package onto that disk fails the same way,
// wherever the thread that meets the full disk runs.
TEST(Files, ErrorsNameTheFileAndLeaveThePackageThatWasThereAndDecompressStreams) {
    varnox::test::TempDir d;
    const fs::path one = vectorsDir() / "1234" / "one.bin.uz";
    fs::create_directories(d / "Maps.unr");
    fs::create_directories(d / "one.bin" / "inside");
    varnox::test::writeFile(d / "text.uz", "hello, world");
    const Bytes package = randomBytes(12 << 20, 41, 2);
    const Bytes file = encode(package, "Big.unr");
    ASSERT_GT(file.size(), std::size_t{1} << 20);
    varnox::test::writeFile(d / "Big.unr.uz", std::string(file.begin(), file.end()));
    varnox::test::writeFile(d / "Big.unr", "the package that was there");
    varnox::test::writeFile(d / "Pkg.unr", std::string(package.begin(), package.end()));
    const struct {
        std::function<void()> run;
        int number;
        std::string message;  // how it starts
    } cases[] = {
        {[&] { compressFile(d / "Maps.unr", d / "Maps.unr.uz"); }, failure::kPathFileAccessError,
         "Cannot read " + d.str() + "/Maps.unr: "},
        {[&] { decompressFile(one, d / "no" / "one.bin"); }, failure::kFileNotFound,
         "Cannot write " + d.str() + "/no/one.bin: "},
        {[&] { decompressFile(one, d / "one.bin"); }, failure::kPathFileAccessError,
         "Cannot replace " + d.str() + "/one.bin: "},
        {[&] { decompressFile(d / "text.uz", d / "text"); }, error::kInvalidFormat,
         "Cannot decompress " + d.str() + "/text.uz: "},
        {[&] { decompressFile(d / "Big.unr.uz", d / "Big.unr"); }, failure::kDiskFull,
         "Cannot write " + d.str() + "/Big.unr: "},
        {[&] { compressFile(d / "Pkg.unr", d / "Pkg.unr.uz"); }, failure::kDiskFull,
         "Cannot write " + d.str() + "/Pkg.unr.uz: "},
    };
    {
        // A disk that fills at 1 MiB; the other cases write less.
        const varnox::test::FileSizeLimit limit(1 << 20);
        for (const auto& c : cases) {
            expectUzError(c.message, c.number, c.run, c.message);
        }
    }
    EXPECT_EQ(varnox::test::readFile(d / "Big.unr"), "the package that was there");
    for (const auto& e : fs::recursive_directory_iterator(d.path())) {
        EXPECT_NE(e.path().extension(), ".part") << "left " << e.path();
    }

    const DecompressedFile result = decompressFile(d / "Big.unr.uz", d / "Big.unr");
    EXPECT_TRUE(readBytes(d / "Big.unr") == package);
    EXPECT_EQ(result.sizes.input, file.size());
    EXPECT_EQ(result.sizes.output, package.size());
    EXPECT_EQ(result.storedName, "Big.unr");
}

}  // namespace
}  // namespace varnox::uz::test
