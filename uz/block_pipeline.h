#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "uz/bwt.h"
#include "uz/parallel.h"

namespace varnox::uz {

// Up to kBwtChains stored BWT blocks, their bytes one after the other. Restoring may put the
// blocks' restored bytes, one after the other, in their place.
struct BlockBatch {
    static constexpr std::size_t kLargest = kBwtChains * (kBwtBlockSize + 1);

    // Makes room for `more` bytes after the used ones (at most kLargest in all), keeping
    // the blocks' views valid. The buffer grows with the data, so a small stream never
    // takes the room of whole blocks.
    void reserve(std::size_t more);

    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
    BwtBlock blocks[kBwtChains];
    std::size_t count = 0;
    std::size_t used = 0;  // bytes taken by the blocks so far
};

// Carries batches of blocks from the thread that decodes the stages before the BWT to the
// work after it, so that the two overlap on all cores: each batch is restored on whichever
// core is free, several at once, and then handed on to the rest of the work (the last
// run-length stage, the output) in order, one at a time. A small stream never needs a
// second thread: the work is done in line until the first full batch is sent, and the same
// goes where no thread can be had. The decoding thread restores batches itself while it has
// no batch to fill: at most two batches more than cores exist, so memory stays the same
// whatever the stream's size.
//
// Errors come out as a single thread going through the stream would meet them: of the
// errors in the work on the batches, that of the earliest batch; and when the decoding side
// fails too, that error, since it concerns data the decoding side had finished with first.
class BlockPipeline {
public:
    // Restores a batch; runs on any thread, for several batches at once. `thread` is below
    // TaskPool::threads() and no two batches are restored with the same at once.
    using Restore = std::function<void(BlockBatch&, unsigned thread)>;
    // Takes each restored batch in order, one at a time, on any thread.
    using Consume = std::function<void(BlockBatch&)>;
    // Runs after the last batch is consumed.
    using Finish = std::function<void()>;

    BlockPipeline(Restore restore, Consume consume, Finish finish);

    // The batch being filled.
    BlockBatch& batch() { return batches_[work_.next() % batches_.size()]; }
    // Hands the batch over and starts a new one. Raises an error of the work on the batches,
    // if any.
    void send() { work_.post(); }
    // The decoding side is done and has sent its last batch: waits for the work to finish and
    // raises its error, if any.
    void finish();
    // The decoding side failed (call it while handling that error): the batches already
    // sent are still taken, and raises the error of the work on them if there was one.
    void abandon() { work_.wait(); }

private:
    Finish finish_;
    std::vector<BlockBatch> batches_;  // one for each batch in flight
    OrderedWork work_;                 // last: its work uses the above
};

}  // namespace varnox::uz
