// The codec against the golden files: every vector encodes to its .uz byte for byte and
// decodes back, for both signatures; and the one file made by the game's own tools.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/files.h"
#include "tests/uz/uz_test_support.h"
#include "uz/codec.h"

namespace varnox::uz::test {
namespace {

const char* const kVectors[] = {"abra.bin",      "allbytes.bin", "empty.bin", "highbyte.bin",
                                "one.bin",       "package.bin",  "runs.bin",  "text.bin",
                                "twoblocks.bin", "zeros.bin"};

struct GoldenCase {
    std::string name;
    Signature signature;
};

std::vector<GoldenCase> goldenCases() {
    std::vector<GoldenCase> cases;
    for (const char* name : kVectors) {
        cases.push_back({name, Signature::Standard});
        cases.push_back({name, Signature::DoubleRle});
    }
    return cases;
}

std::string folderOf(Signature signature) {
    return signature == Signature::Standard ? "1234" : "5678";
}

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, EncodesByteForByte) {
    const auto& c = GetParam();
    const Bytes package = readBytes(vectorsDir() / c.name);
    const Bytes expected = readBytes(vectorsDir() / folderOf(c.signature) / (c.name + ".uz"));
    EXPECT_EQ(encode(package, c.name, c.signature), expected);
}

TEST_P(Golden, Decodes) {
    const auto& c = GetParam();
    const Decoded decoded =
        decode(readBytes(vectorsDir() / folderOf(c.signature) / (c.name + ".uz")));
    EXPECT_EQ(decoded.package, readBytes(vectorsDir() / c.name));
    EXPECT_EQ(decoded.storedName, c.name);
    EXPECT_EQ(decoded.signature, c.signature);
}

TEST_P(Golden, EncodingThatGivesUpThePackageMatchesToo) {
    const auto& c = GetParam();
    Bytes package = readBytes(vectorsDir() / c.name);
    EXPECT_EQ(encode(std::move(package), c.name, c.signature),
              readBytes(vectorsDir() / folderOf(c.signature) / (c.name + ".uz")));
}

INSTANTIATE_TEST_SUITE_P(Vectors, Golden, ::testing::ValuesIn(goldenCases()), [](const auto& info) {
    std::string name = info.param.name.substr(0, info.param.name.find('.'));
    return name + "_" + folderOf(info.param.signature);
});

// The copies in this repository are the vectors listed in SHA256SUMS.
TEST(GoldenFiles, MatchTheirChecksums) {
    std::ifstream sums(vectorsDir() / "SHA256SUMS");
    ASSERT_TRUE(sums) << "missing SHA256SUMS";
    std::string line;
    int checked = 0;
    while (std::getline(sums, line)) {
        std::istringstream fields(line);
        std::string hash;
        std::string file;
        fields >> hash >> file;
        EXPECT_EQ(sha256Hex(readBytes(vectorsDir() / file)), hash) << file;
        ++checked;
    }
    EXPECT_EQ(checked, 30);
}

// The real file is a game file: it is read from beside the repository and not kept in it.
class RealFile : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = varnox::test::sharedVectorsDir() / "real" / "UTCredits.unr.uz";
        if (!std::filesystem::exists(path_)) {
            GTEST_SKIP() << "no " << path_;
        }
        file_ = readBytes(path_);
    }

    std::filesystem::path path_;
    Bytes file_;
};

TEST_F(RealFile, DecodesToThePackageItsReadmeDescribes) {
    ASSERT_EQ(sha256Hex(file_), "212fbcbd2f6e49ce87aed92c0cbc5f6ddd4e65be4de60007712c71b6a509e4f1");
    const Decoded decoded = decode(file_);
    EXPECT_EQ(decoded.signature, Signature::DoubleRle);
    EXPECT_EQ(decoded.storedName, "UTCredits.unr");
    ASSERT_EQ(decoded.package.size(), 50284u);
    EXPECT_EQ(Bytes(decoded.package.begin(), decoded.package.begin() + 4),
              (Bytes{0xc1, 0x83, 0x2a, 0x9e}));
    EXPECT_EQ(sha256Hex(decoded.package),
              "049b09b7c1830fd91bdd48cab7a3c71411b69d04d9218b4eeb6dda3eadefe2d4");
}

TEST_F(RealFile, ReencodesToTheSameBytesWithSignature5678) {
    const Decoded decoded = decode(file_);
    EXPECT_EQ(encode(decoded.package, decoded.storedName, Signature::DoubleRle), file_);
}

}  // namespace
}  // namespace varnox::uz::test
