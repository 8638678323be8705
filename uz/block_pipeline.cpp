#include "uz/block_pipeline.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace varnox::uz {

void BlockBatch::reserve(std::size_t more) {
    const std::size_t needed = used + more;
    if (needed <= capacity) {
        return;
    }
    const std::size_t grown = std::min(kLargest, std::max(needed, 2 * capacity));
    std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[grown]);
    if (used > 0) {
        std::memcpy(larger.get(), bytes.get(), used);
    }
    for (std::size_t b = 0; b < count; ++b) {
        const auto offset = static_cast<std::size_t>(blocks[b].bytes.data() - bytes.get());
        blocks[b].bytes = {larger.get() + offset, blocks[b].bytes.size()};
    }
    bytes = std::move(larger);
    capacity = grown;
}

BlockPipeline::BlockPipeline(Restore restore, Consume consume, Finish finish)
    : finish_(std::move(finish)),
      // One batch being filled, one being restored or waiting for each core, and one more.
      batches_(TaskPool::threads() + 2),
      work_(
          batches_.size(),
          [this, restore = std::move(restore)](std::uint64_t item, unsigned thread) {
              restore(batches_[item % batches_.size()], thread);
          },
          [this, consume = std::move(consume)](std::uint64_t item) {
              BlockBatch& batch = batches_[item % batches_.size()];
              consume(batch);
              batch.count = 0;
              batch.used = 0;
          }) {}

void BlockPipeline::finish() {
    if (batch().count > 0) {
        work_.runHere();
    }
    work_.wait();
    finish_();
}

}  // namespace varnox::uz
