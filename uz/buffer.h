#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace varnox::uz {

// A buffer of `size` zero bytes for a whole stage's data. Large buffers ask the system for
// huge pages before their memory is first touched, which saves most of the page faults
// that filling tens of megabytes otherwise costs.
std::vector<std::uint8_t> stageBuffer(std::size_t size);

// Room for `size` bytes, not initialised, in huge pages where the system gives them. Memory
// is only taken as it is first written.
std::unique_ptr<std::uint8_t[]> hugeBuffer(std::size_t size);

}  // namespace varnox::uz
