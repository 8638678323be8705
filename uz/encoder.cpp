#include "uz/encoder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "uz/buffer.h"
#include "uz/bwt.h"
#include "uz/huffman.h"
#include "uz/mtf.h"
#include "uz/parallel.h"
#include "uz/rle.h"

namespace varnox::uz {

namespace {

// One BWT block as the stage writes it (its header, then its n + 1 bytes), coded by
// move-to-front in place as if the table started afresh, with what putting that right takes
// and the counts of its coded bytes.
struct CodedBlock {
    static constexpr std::size_t kRoom = kBwtBlockHeader + kBwtBlockSize + 1;

    std::span<std::uint8_t> coded() const { return {bytes, size}; }

    // Filled with the block's input after the header's room, then coded in place.
    std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    MtfPieceEncoder mtf;
    ByteCounts counts{};
};

// Room for the blocks, a few megabytes at a time, so that the memory comes in huge pages:
// first touching fresh memory is much of what filling it costs.
class BlockRoom {
public:
    std::uint8_t* next() {
        if (used_ == kBlocksAtATime) {
            used_ = 0;
        }
        if (used_ == 0) {
            chunks_.push_back(hugeBuffer(kBlocksAtATime * CodedBlock::kRoom));
        }
        return chunks_.back().get() + CodedBlock::kRoom * used_++;
    }

private:
    static constexpr std::size_t kBlocksAtATime = 32;

    std::vector<std::unique_ptr<std::uint8_t[]>> chunks_;
    std::size_t used_ = 0;
};

// Cuts the BWT stage's input into blocks and codes each on the pool as soon as it is full.
class BlockCoder final : public ByteSink {
public:
    BlockCoder() { sorters_.resize(pool_.threads()); }

    void write(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            if (blocks_.empty() || filled_ == kBwtBlockSize) {
                if (!blocks_.empty()) {
                    pool_.post([this, block = blocks_.back().get()](unsigned thread) {
                        code(*block, kBwtBlockSize, thread);
                    });
                }
                blocks_.push_back(std::make_unique<CodedBlock>());
                blocks_.back()->bytes = room_.next();
                filled_ = 0;
            }
            const std::size_t part = std::min(bytes.size(), kBwtBlockSize - filled_);
            std::memcpy(blocks_.back()->bytes + kBwtBlockHeader + filled_, bytes.data(), part);
            filled_ += part;
            bytes = bytes.subspan(part);
        }
    }

    // Codes the last block, waits for the others and puts their move-to-front codes right, in
    // order. Returns the blocks.
    std::vector<std::unique_ptr<CodedBlock>> finish() {
        if (blocks_.size() == 1) {
            code(*blocks_.back(), filled_, 0);  // a package of one block needs no thread
        } else if (!blocks_.empty()) {
            // The last block, the shortest, goes last, so that the cores end close together.
            pool_.post([this, block = blocks_.back().get(), n = filled_](unsigned thread) {
                code(*block, n, thread);
            });
        }
        pool_.finish();
        MtfPieceEncoder::Table table;
        for (int i = 0; i < 256; ++i) {
            table[i] = static_cast<std::uint8_t>(i);
        }
        for (const auto& block : blocks_) {
            block->mtf.fix(block->coded(), table, block->counts);
        }
        return std::move(blocks_);
    }

private:
    void code(CodedBlock& block, std::size_t n, unsigned thread) {
        if (!sorters_[thread]) {
            sorters_[thread] = std::make_unique<BwtBlockSorter>();
        }
        sorters_[thread]->encode({block.bytes + kBwtBlockHeader, n}, block.bytes);
        block.size = kBwtBlockHeader + n + 1;
        block.mtf.encode(block.coded(), block.counts);
    }

    BlockRoom room_;
    std::vector<std::unique_ptr<CodedBlock>> blocks_;
    std::size_t filled_ = 0;                                // bytes in the last block
    std::vector<std::unique_ptr<BwtBlockSorter>> sorters_;  // one for each thread of the pool
    TaskPool pool_;                                         // last: its tasks use the above
};

}  // namespace

struct PackageEncoder::State {
    explicit State(Signature s) : signature(s), runs(blocks) {}

    Signature signature;
    BlockCoder blocks;
    RleEncoder runs;
};

PackageEncoder::PackageEncoder(Signature signature) : state_(std::make_unique<State>(signature)) {}

PackageEncoder::~PackageEncoder() = default;

void PackageEncoder::write(std::span<const std::uint8_t> bytes) {
    state_->runs.encode(bytes);
}

void PackageEncoder::writeRuns(std::span<const std::uint8_t> runs) {
    state_->blocks.write(runs);
}

void PackageEncoder::finish(ByteSink& out) {
    state_->runs.finish();
    std::vector<std::unique_ptr<CodedBlock>> blocks = state_->blocks.finish();
    if (state_->signature == Signature::DoubleRle) {
        VectorSink again;
        RleEncoder runs(again);
        for (auto& block : blocks) {
            runs.encode(block->coded());
            block.reset();
        }
        runs.finish();
        huffmanEncode(again.bytes, out);
        return;
    }
    std::vector<std::span<const std::uint8_t>> pieces;
    std::vector<ByteCounts> counts;
    for (const auto& block : blocks) {
        pieces.push_back(block->coded());
        counts.push_back(block->counts);
    }
    huffmanEncode(pieces, counts, out);
}

}  // namespace varnox::uz
