// libFuzzer entry for the .uz decoder: any input must either decode or raise uz::Error.
// Whatever decodes must encode again and decode to the same package. The size limit keeps
// legitimately huge expansions (long runs coded in a few bytes) from reading as memory
// faults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "uz/codec.h"

namespace {
constexpr std::size_t kSizeLimit = std::size_t{16} << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    varnox::uz::Decoded decoded;
    try {
        decoded = varnox::uz::decode(std::span<const std::uint8_t>(data, size), kSizeLimit);
    } catch (const varnox::uz::Error&) {
        return 0;
    }
    const auto again = varnox::uz::encode(std::span<const std::uint8_t>(decoded.package),
                                          decoded.storedName, decoded.signature);
    if (varnox::uz::decode(again).package != decoded.package) {
        std::abort();
    }
    return 0;
}
