#include "uz/buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace varnox::uz {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

void adviseHugePages([[maybe_unused]] std::uint8_t* data, [[maybe_unused]] std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + size) & ~(kHugePage - 1);
    if (end > first) {
        // Only advice: where the system says no, the buffer simply has small pages.
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
#endif
}

}  // namespace

std::vector<std::uint8_t> stageBuffer(std::size_t size) {
    std::vector<std::uint8_t> buffer;
    if (size >= 2 * kHugePage) {
        buffer.reserve(size);
        adviseHugePages(buffer.data(), size);
    }
    buffer.resize(size);
    return buffer;
}

std::unique_ptr<std::uint8_t[]> hugeBuffer(std::size_t size) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]);
    if (size >= 2 * kHugePage) {
        adviseHugePages(buffer.get(), size);
    }
    return buffer;
}

}  // namespace varnox::uz
