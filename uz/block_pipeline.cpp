#include "uz/block_pipeline.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace varnox::uz {

namespace {

// One batch being filled, one waiting and one being worked on.
constexpr std::size_t kMaxBatches = 3;

// Raised to the decoding side when the consuming side has failed; replaced by that error.
struct ConsumerFailed {};

void reset(BlockBatch& batch) {
    batch.count = 0;
    batch.used = 0;
}

}  // namespace

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

BlockPipeline::BlockPipeline(Consume consume, Finish finish)
    : consume_(std::move(consume)),
      finish_(std::move(finish)),
      filling_(std::make_unique<BlockBatch>()) {}

BlockPipeline::~BlockPipeline() {
    if (worker_.joinable()) {
        stopWorker(false);
    }
}

void BlockPipeline::send() {
    if (!worker_.joinable() && !tried_ && filling_->count == kBwtChains) {
        tried_ = true;
        try {
            worker_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            // No second thread: the work goes on in line.
        }
    }
    if (!worker_.joinable()) {
        consume_(*filling_);
        reset(*filling_);
        return;
    }
    std::unique_lock lock(mutex_);
    if (error_) {
        throw ConsumerFailed{};
    }
    queued_.push_back(std::move(filling_));
    changed_.notify_all();
    changed_.wait(lock, [&] { return error_ || !spare_.empty() || batches_ < kMaxBatches; });
    if (error_) {
        throw ConsumerFailed{};
    }
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        ++batches_;
        lock.unlock();
        filling_ = std::make_unique<BlockBatch>();
    }
}

void BlockPipeline::finish() {
    if (!worker_.joinable()) {
        finish_();
        return;
    }
    stopWorker(true);
    if (error_) {
        std::rethrow_exception(error_);
    }
}

void BlockPipeline::abandon() {
    if (!worker_.joinable()) {
        return;
    }
    stopWorker(false);
    if (error_) {
        std::rethrow_exception(error_);
    }
}

void BlockPipeline::stopWorker(bool complete) {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        complete_ = complete;
    }
    changed_.notify_all();
    worker_.join();
}

void BlockPipeline::work() {
    try {
        for (;;) {
            std::unique_ptr<BlockBatch> batch;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return !queued_.empty() || closed_; });
                if (queued_.empty()) {
                    if (!complete_) {
                        return;
                    }
                    break;
                }
                batch = std::move(queued_.front());
                queued_.pop_front();
            }
            consume_(*batch);
            reset(*batch);
            {
                std::lock_guard lock(mutex_);
                spare_.push_back(std::move(batch));
            }
            changed_.notify_all();
        }
        finish_();
    } catch (...) {
        {
            std::lock_guard lock(mutex_);
            error_ = std::current_exception();
            queued_.clear();
        }
        changed_.notify_all();
    }
}

}  // namespace varnox::uz
