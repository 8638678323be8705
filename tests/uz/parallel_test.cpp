// The work the codec spreads over the cores: items worked on anywhere, several at once, but
// handed on in order; and errors that reach the caller as the earliest item met them.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "uz/error.h"
#include "uz/parallel.h"

namespace varnox::uz::test {
namespace {

// Work that takes longer for earlier items, so that later ones finish first; some items fail
// (the earlier the later). Whatever the timing, the items are handed on in order up to the
// first that fails, and that one's error, number and text, is what the caller gets, from post()
// or wait(). Without failures every item is handed on.
TEST(OrderedWork, HandsItemsOnInOrderAndReportsTheEarliestFailure) {
    const struct {
        std::uint64_t items;
        std::uint64_t failsFrom;  // items from here on fail in their work, slowest first
    } cases[] = {{1, 99}, {3, 99}, {40, 99}, {40, 7}, {40, 0}, {2, 1}};
    for (const auto& c : cases) {
        std::vector<std::uint64_t> handed;
        OrderedWork work(
            3,
            [&](std::uint64_t item, unsigned) {
                std::this_thread::sleep_for(std::chrono::microseconds(200 * (item % 4)));
                if (item >= c.failsFrom) {
                    throw Error(error::kInvalidFormat, "item " + std::to_string(item));
                }
            },
            [&](std::uint64_t item) { handed.push_back(item); });
        std::string error;
        try {
            for (std::uint64_t i = 0; i + 1 < c.items; ++i) {
                work.post();
            }
            work.runHere();
            work.wait();
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), error::kInvalidFormat);
            error = e.description();
        }
        const std::uint64_t good = std::min(c.items, c.failsFrom);
        EXPECT_EQ(error, good < c.items ? "item " + std::to_string(good) : "") << c.items;
        ASSERT_EQ(handed.size(), good) << c.items << " items failing from " << c.failsFrom;
        for (std::uint64_t i = 0; i < good; ++i) {
            EXPECT_EQ(handed[i], i);
        }
    }
}

}  // namespace
}  // namespace varnox::uz::test
