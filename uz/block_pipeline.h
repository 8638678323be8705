#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "uz/bwt.h"

namespace varnox::uz {

// Up to kBwtChains stored BWT blocks, their bytes one after the other.
struct BlockBatch {
    static constexpr std::size_t kLargest = kBwtChains * (kBwtBlockSize + 1);

    // Makes room for `more` bytes after the used ones (at most kLargest in all), keeping
    // the blocks' views valid. The buffer grows with the data, so a small stream never
    // takes the room of four whole blocks.
    void reserve(std::size_t more);

    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
    BwtBlock blocks[kBwtChains];
    std::size_t count = 0;
    std::size_t used = 0;  // bytes taken by the blocks so far
};

// Carries batches of blocks from the thread that decodes the stages before the BWT to the
// work after it (restoring the blocks, the last run-length stage, the output), so that the
// two overlap on two cores. A small stream never needs a second thread: the work is done
// in line until the first full batch is sent, and the same goes where no thread can be had.
// At most three batches exist, so memory stays the same whatever the stream's size.
//
// Errors come out as a single thread going through the stream would meet them: when both
// sides fail, the error of the work on the blocks wins, since it concerns data the decoding
// side had finished with before its own error.
class BlockPipeline {
public:
    using Consume = std::function<void(BlockBatch&)>;
    using Finish = std::function<void()>;

    // `consume` takes each batch in order; `finish` runs after the last one.
    BlockPipeline(Consume consume, Finish finish);
    ~BlockPipeline();
    BlockPipeline(const BlockPipeline&) = delete;
    BlockPipeline& operator=(const BlockPipeline&) = delete;

    // The batch being filled.
    BlockBatch& batch() { return *filling_; }
    // Hands the batch over and starts a new one. Raises the consuming side's error, if any.
    void send();
    // The decoding side is done and has sent its last batch: waits for the work to finish and
    // raises its error, if any.
    void finish();
    // The decoding side failed (call it while handling that error): the batches already
    // sent are still taken, and raises the consuming side's error if it had one.
    void abandon();

private:
    void work();
    void stopWorker(bool complete);

    Consume consume_;
    Finish finish_;
    std::unique_ptr<BlockBatch> filling_;
    bool tried_ = false;  // whether a second thread has been tried
    std::thread worker_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<BlockBatch>> queued_;
    std::vector<std::unique_ptr<BlockBatch>> spare_;
    std::size_t batches_ = 1;
    bool closed_ = false;
    bool complete_ = false;  // closed after the last batch, not abandoned
    std::exception_ptr error_;
};

}  // namespace varnox::uz
