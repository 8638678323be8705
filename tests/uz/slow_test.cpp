// A 100 MiB package through both directions: hundreds of blocks, sorted and restored in
// parallel, with each buffer handed over to the next step.
#include <gtest/gtest.h>

#include "tests/uz/uz_test_support.h"
#include "uz/codec.h"

namespace varnox::uz::test {
namespace {

TEST(LargePackage, HundredMebibytesRoundTrip) {
    const std::size_t size = std::size_t{100} << 20;
    Bytes file = encode(mixedBytes(size, 100), "Huge.unr");
    EXPECT_LT(file.size(), size);
    EXPECT_TRUE(decode(std::move(file)).package == mixedBytes(size, 100));
}

}  // namespace
}  // namespace varnox::uz::test
