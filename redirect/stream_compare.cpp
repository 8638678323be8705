#include "redirect/stream_compare.h"

#include <algorithm>
#include <cstring>

namespace varnox::redirect {

bool StreamCompare::feed(const char* data, std::size_t size) {
    if (difference_) {
        return false;
    }
    const std::uint64_t left = local_.size() - std::min(received_, local_.size());
    const auto comparable = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
    piece_.resize(std::max(piece_.size(), comparable));
    // A local file that shrank since it was opened reads short: its bytes end there.
    const std::size_t read = local_.readAt(received_, {piece_.data(), comparable});
    if (read < size || std::memcmp(piece_.data(), data, size) != 0) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
        difference_ =
            received_ +
            static_cast<std::uint64_t>(
                std::mismatch(piece_.data(), piece_.data() + read, bytes).first - piece_.data());
    }
    received_ += size;
    return !difference_;
}

}  // namespace varnox::redirect
