// A 100 MiB package through both directions: hundreds of blocks, sorted and restored in
// parallel, with the package's buffer handed over to the encoder.
#include <gtest/gtest.h>

#include "tests/uz/uz_test_support.h"
#include "uz/codec.h"

namespace varnox::uz::test {
namespace {

TEST(LargePackage, HundredMebibytesRoundTrip) {
    const std::size_t size = std::size_t{100} << 20;
    Bytes package = mixedBytes(size, 100);
    const std::string hash = sha256Hex(package);
    Bytes file = encode(std::move(package), "Huge.unr");
    EXPECT_LT(file.size(), size);
    const Decoded decoded = decode(std::move(file));
    EXPECT_EQ(decoded.package.size(), size);
    EXPECT_EQ(sha256Hex(decoded.package), hash);
}

}  // namespace
}  // namespace varnox::uz::test
