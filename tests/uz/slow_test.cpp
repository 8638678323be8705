// Large packages: a 100 MiB package through both directions (hundreds of blocks, sorted and
// restored in parallel), and a small file that stands for 1 GiB decoded as a stream.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/uz_data.h"
#include "uz/codec.h"
#include "uz/decoder.h"

namespace varnox::uz::test {
namespace {

TEST(LargePackage, HundredMebibytesRoundTrip) {
    const std::size_t size = std::size_t{100} << 20;
    Bytes file = encode(mixedBytes(size, 100), "Huge.unr");
    EXPECT_LT(file.size(), size);
    EXPECT_TRUE(decode(std::move(file)).package == mixedBytes(size, 100));
}

// The package is checked piece by piece as it comes; it is never whole in memory.
TEST(LargePackage, ASmallFileStandingForAGibibyteDecodesExactly) {
    const std::uint64_t size = std::uint64_t{1} << 30;
    const Bytes file = encodeZeros(size, "Bomb.unr", Signature::DoubleRle);
    EXPECT_LT(file.size(), 200000u);
    struct ZeroCounter final : ByteSink {
        void write(std::span<const std::uint8_t> bytes) override {
            zeros += static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), 0));
            total += bytes.size();
        }
        std::uint64_t zeros = 0;
        std::uint64_t total = 0;
    } sink;
    MemorySource source(file);
    const StreamInfo info = decodeStream(source, sink);
    EXPECT_EQ(sink.total, size);
    EXPECT_EQ(sink.zeros, size);
    EXPECT_EQ(info.packageSize, size);
    EXPECT_EQ(info.fileSize, file.size());
    EXPECT_EQ(info.storedName, "Bomb.unr");
}

}  // namespace
}  // namespace varnox::uz::test
