#include "platform/signal_cleanup.h"

#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

namespace varnox::platform {

namespace {

constexpr int kSlots = 16;
constexpr std::size_t kPathRoom = 4096;
enum SlotState : int { kFree, kTaking, kHeld };

struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathRoom];
};
static_assert(std::atomic<int>::is_always_lock_free);

Slot slots[kSlots];

}  // namespace

int holdForSignals(const std::filesystem::path& path) {
    const std::string& text = path.native();
    if (text.size() >= kPathRoom) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kTaking)) {
            std::memcpy(slots[i].path, text.c_str(), text.size() + 1);
            slots[i].state.store(kHeld, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void releaseForSignals(int& slot) {
    if (slot >= 0) {
        slots[slot].state.store(kFree, std::memory_order_release);
        slot = -1;
    }
}

void removeTemporaryFilesNow() noexcept {
    for (Slot& slot : slots) {
        if (slot.state.load(std::memory_order_acquire) == kHeld) {
            ::unlink(slot.path);
        }
    }
}

}  // namespace varnox::platform
