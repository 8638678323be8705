// The whole codec: the golden files both ways for both signatures, the one file made by the
// game's own tools, round trips over inputs that reach each stage's edges, and the errors
// of the file functions.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/uz/uz_test_support.h"
#include "uz/bwt.h"
#include "uz/codec.h"
#include "uz/files.h"

namespace varnox::uz::test {
namespace {

namespace fs = std::filesystem;

// A limit on the size of files this process writes: writing beyond it fails as on a full
// disk (EFBIG rather than ENOSPC; the same error number).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &previousAction_);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit small = previous_;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        ::sigaction(SIGXFSZ, &previousAction_, nullptr);
    }

private:
    struct sigaction previousAction_ {};
    rlimit previous_{};
};

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
    const fs::path path = varnox::test::sharedVectorsDir() / "real" / "UTCredits.unr.uz";
    if (!fs::exists(path)) {
        GTEST_SKIP() << "no " << path;
    }
    const Bytes file = readBytes(path);
    const Decoded decoded = decode(file);
    EXPECT_EQ(decoded.signature, Signature::DoubleRle);
    EXPECT_EQ(decoded.storedName, "UTCredits.unr");
    ASSERT_EQ(decoded.package.size(), 50284u);
    EXPECT_EQ(Bytes(decoded.package.begin(), decoded.package.begin() + 4),
              (Bytes{0xc1, 0x83, 0x2a, 0x9e}));
    EXPECT_EQ(encode(decoded.package, decoded.storedName, Signature::DoubleRle), file);
}

TEST(RoundTrip, BothSignaturesOverInputsAtEachStagesEdges) {
    Bytes allValues;
    Bytes allValuesInRuns;
    for (int v = 0; v < 256; ++v) {
        allValues.push_back(static_cast<std::uint8_t>(v));
        allValuesInRuns.insert(allValuesInRuns.end(), 1 + v % 300, static_cast<std::uint8_t>(v));
    }
    // Random bytes keep their size through the first run-length pass, so the two "block"
    // cases put exactly that many bytes into the BWT.
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"one zero", {0}},
        {"one 0xff", {0xff}},
        {"five equal", Bytes(5, 'q')},
        {"1 MiB of zeros", Bytes(1 << 20, 0)},
        {"run heavy", mixedBytes(300000, 3)},
        {"random", randomBytes(200000, 4)},
        {"two symbols", randomBytes(100000, 5, 2)},
        {"0x40000", randomBytes(kBwtBlockSize, 6)},
        {"0x40001", randomBytes(kBwtBlockSize + 1, 7)},
        {"several blocks", mixedBytes(3 * kBwtBlockSize + 12345, 8)},
        {"all values", allValues},
        {"all values in runs", allValuesInRuns},
    };
    for (const auto& [label, package] : cases) {
        for (Signature signature : {Signature::Standard, Signature::DoubleRle}) {
            const Decoded decoded = decode(encode(package, "Test.unr", signature));
            EXPECT_TRUE(decoded.package == package) << label << " " << static_cast<int>(signature);
            EXPECT_EQ(decoded.storedName, "Test.unr");
            EXPECT_EQ(decoded.signature, signature);
        }
    }
    EXPECT_THROW(encode(Bytes{1, 2, 3}, "a", static_cast<Signature>(4321)), Error);
    EXPECT_THROW(encode(Bytes{1, 2, 3}, std::string_view("a\0b", 3)), Error);
}

TEST(RoundTrip, ZeroRunsMadeWithoutThePackageEncodeAsThePackageDoes) {
    for (std::size_t size : {0, 4, 5, 255, 256, 260, 1 << 20}) {
        for (Signature signature : {Signature::Standard, Signature::DoubleRle}) {
            EXPECT_EQ(zerosUzFile(size, signature, "Z.unr"),
                      encode(Bytes(size, 0), "Z.unr", signature))
                << size;
        }
    }
}

TEST(RoundTrip, DecodingRefusesToGrowBeyondASizeLimit) {
    const Bytes package(1 << 20, 0);
    for (Signature signature : {Signature::Standard, Signature::DoubleRle}) {
        const Bytes file = encode(package, "Zeros.unr", signature);
        ASSERT_LT(file.size() * 100, package.size());  // a hundredfold growth at least
        expectUzError("limited", error::kOverflow, [&] { decode(file, 100000); });
        EXPECT_EQ(decode(file, package.size()).package, package);
    }
}

TEST(Files, ErrorsCarryANumberNameTheFileAndLeaveNoPartialFile) {
    varnox::test::TempDir d;
    const fs::path one = vectorsDir() / "1234" / "one.bin.uz";
    fs::create_directories(d / "Maps.unr");
    fs::create_directories(d / "one.bin" / "inside");
    varnox::test::writeFile(d / "text.uz", "hello, world");
    const struct {
        std::function<void()> run;
        int number;
        fs::path named;
    } cases[] = {
        {[&] { compressFile(d / "none.unr", d / "none.unr.uz"); }, failure::kFileNotFound,
         d / "none.unr"},
        {[&] { compressFile(d / "Maps.unr", d / "Maps.unr.uz"); }, failure::kPathFileAccessError,
         d / "Maps.unr"},
        {[&] { decompressFile(d / "none.uz", d / "none"); }, failure::kFileNotFound, d / "none.uz"},
        {[&] { decompressFile(one, d / "no" / "one.bin"); }, failure::kFileNotFound,
         d / "no" / "one.bin"},
        {[&] { decompressFile(one, d / "one.bin"); }, failure::kPathFileAccessError, d / "one.bin"},
        {[&] { decompressFile(d / "text.uz", d / "text"); }, error::kInvalidFormat, d / "text.uz"},
    };
    for (const auto& c : cases) {
        expectUzError(c.named.string(), c.number, [&] {
            try {
                c.run();
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find(c.named.string()), std::string::npos)
                    << e.what();
                throw;
            }
        });
    }
    for (const auto& e : fs::recursive_directory_iterator(d.path())) {
        EXPECT_NE(e.path().extension(), ".part") << "left " << e.path();
    }
}

// A .uz larger than the decoder's reading window, coding about one bit per byte (so the
// count of coded bytes is checked against the whole file, not the window), decoded on two
// threads and written in pieces: once onto a disk that fills part way, which leaves the
// package that was there, then onto one with room.
TEST(Files, DecompressStreamsAndAFullDiskLeavesThePackageThatWasThere) {
    varnox::test::TempDir d;
    const Bytes package = randomBytes(12 << 20, 41, 2);
    const Bytes file = encode(package, "Big.unr");
    varnox::test::writeFile(d / "Big.unr.uz", std::string(file.begin(), file.end()));
    varnox::test::writeFile(d / "Big.unr", "the package that was there");
    expectUzError("full disk", failure::kDiskFull, [&] {
        FileSizeLimit limit(1 << 20);
        try {
            decompressFile(d / "Big.unr.uz", d / "Big.unr");
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot write " + (d / "Big.unr").string(), 0),
                      0u)
                << e.what();
            throw;
        }
    });
    EXPECT_EQ(varnox::test::readFile(d / "Big.unr"), "the package that was there");
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path()), fs::directory_iterator()), 2);

    ASSERT_GT(file.size(), std::size_t{1} << 20);
    const DecompressedFile result = decompressFile(d / "Big.unr.uz", d / "Big.unr");
    EXPECT_TRUE(readBytes(d / "Big.unr") == package);
    EXPECT_EQ(result.sizes.input, file.size());
    EXPECT_EQ(result.sizes.output, package.size());
    EXPECT_EQ(result.storedName, "Big.unr");
}

}  // namespace
}  // namespace varnox::uz::test
