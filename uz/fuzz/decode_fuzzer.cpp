// libFuzzer entry for the .uz decoder: any input must either decode or raise uz::Error.
// Whatever decodes must encode again and decode to the same package, and verification
// must accept the input exactly when that encoding gives the input back. The size limit
// keeps legitimately huge expansions (long runs coded in a few bytes) from reading as
// memory faults.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "uz/codec.h"

namespace {
constexpr std::size_t kSizeLimit = std::size_t{16} << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    varnox::uz::Decoded decoded;
    try {
        decoded = varnox::uz::decode(input, kSizeLimit);
    } catch (const varnox::uz::Error&) {
        return 0;
    }
    const auto again = varnox::uz::encode(std::span<const std::uint8_t>(decoded.package),
                                          decoded.storedName, decoded.signature);
    if (varnox::uz::decode(again).package != decoded.package) {
        std::abort();
    }
    bool verified = true;
    try {
        varnox::uz::verify(input, kSizeLimit);
    } catch (const varnox::uz::Error&) {
        verified = false;
    }
    if (verified != std::equal(again.begin(), again.end(), input.begin(), input.end())) {
        std::abort();
    }
    return 0;
}
