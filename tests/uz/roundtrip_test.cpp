// Round trips through the whole chain for both signatures, over inputs chosen to reach
// each stage's edges: nothing, one byte, runs, noise, block boundaries, every byte value.
#include <gtest/gtest.h>

#include "tests/uz/uz_test_support.h"
#include "uz/bwt.h"
#include "uz/codec.h"

namespace varnox::uz::test {
namespace {

struct RoundTripCase {
    std::string label;
    Bytes package;
};

std::vector<RoundTripCase> roundTripCases() {
    Bytes allValues;
    Bytes allValuesInRuns;
    for (int v = 0; v < 256; ++v) {
        allValues.push_back(static_cast<std::uint8_t>(v));
        allValuesInRuns.insert(allValuesInRuns.end(), 1 + v % 300, static_cast<std::uint8_t>(v));
    }
    Bytes descending(allValues.rbegin(), allValues.rend());
    return {
        {"empty", {}},
        {"one_zero", {0}},
        {"one_ff", {0xff}},
        {"two_equal", {7, 7}},
        {"five_equal", Bytes(5, 'q')},
        {"zeros_1M", Bytes(1 << 20, 0)},
        {"run_heavy", mixedBytes(300000, 3)},
        {"random", randomBytes(200000, 4)},
        {"two_symbols", randomBytes(100000, 5, 2)},
        // Random bytes keep their size through the first run-length pass, so these put
        // exactly that many bytes into the BWT.
        {"block_exactly", randomBytes(kBwtBlockSize, 6)},
        {"block_and_one", randomBytes(kBwtBlockSize + 1, 7)},
        {"several_blocks", mixedBytes(3 * kBwtBlockSize + 12345, 8)},
        {"all_values", allValues},
        {"all_values_descending", descending},
        {"all_values_in_runs", allValuesInRuns},
    };
}

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, BothSignatures) {
    const auto& c = GetParam();
    for (Signature signature : {Signature::Standard, Signature::DoubleRle}) {
        const Bytes file = encode(c.package, "Test.unr", signature);
        const Decoded decoded = decode(file);
        EXPECT_EQ(decoded.package, c.package) << static_cast<int>(signature);
        EXPECT_EQ(decoded.storedName, "Test.unr");
        EXPECT_EQ(decoded.signature, signature);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, RoundTrip, ::testing::ValuesIn(roundTripCases()),
                         [](const auto& info) { return info.param.label; });

TEST(Encode, GivesTheSameBytesWhetherItKeepsOrTakesThePackage) {
    Bytes package = mixedBytes(700000, 11);
    const Bytes kept = encode(package, "a.utx", Signature::DoubleRle);
    EXPECT_EQ(encode(std::move(package), "a.utx", Signature::DoubleRle), kept);
}

TEST(Encode, RefusesAnUnknownSignatureAndANameWithNul) {
    EXPECT_THROW(encode(Bytes{1, 2, 3}, "a", static_cast<Signature>(4321)), Error);
    EXPECT_THROW(encode(Bytes{1, 2, 3}, std::string_view("a\0b", 3)), Error);
}

TEST(Decode, GivesUpTheFileBufferAndStillDecodes) {
    const Bytes package = mixedBytes(500000, 12);
    Bytes file = encode(package, "b.uax");
    EXPECT_EQ(decode(std::move(file)).package, package);
}

TEST(Decode, RefusesToGrowBeyondASizeLimit) {
    const Bytes package(1 << 20, 0);
    for (Signature signature : {Signature::Standard, Signature::DoubleRle}) {
        const Bytes file = encode(package, "Zeros.unr", signature);
        ASSERT_LT(file.size() * 100, package.size());  // a hundredfold growth at least
        try {
            decode(file, 100000);
            ADD_FAILURE() << "no limit";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), error::kOverflow) << e.what();
        }
        EXPECT_EQ(decode(file, package.size()).package, package);
    }
}

}  // namespace
}  // namespace varnox::uz::test
