#include "uz/decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "uz/block_pipeline.h"
#include "uz/byte_reader.h"
#include "uz/compact_index.h"
#include "uz/error.h"
#include "uz/huffman.h"
#include "uz/mtf.h"
#include "uz/parallel.h"
#include "uz/rle.h"
#include "uz/stored_name.h"

namespace varnox::uz {

namespace {

// How many bytes the Huffman stage decodes at a time.
constexpr std::size_t kStep = 64 * 1024;

[[noreturn]] void differs(const std::string& where) {
    throw Error(error::kInvalidFormat, "encoding its package again gives other bytes: " + where);
}

struct Header {
    Signature signature = Signature::Standard;
    std::string storedName;
    std::vector<std::uint8_t> bytes;  // as read
};

// Moves up to `count` bytes from the window to the end of `out`, in pieces, so that a
// length field cannot make it take more memory than the data it reads.
void take(InputWindow& in, std::uint64_t count, std::vector<std::uint8_t>& out) {
    while (count > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(count, in.capacity()));
        const std::size_t got = std::min(in.ensure(want), want);
        if (got == 0) {
            return;
        }
        out.insert(out.end(), in.unread().begin(), in.unread().begin() + got);
        in.consume(got);
        count -= got;
    }
}

Header readHeader(InputWindow& in) {
    Header h;
    // The signature and the name's compact index take at most nine bytes.
    in.ensure(9);
    ByteReader reader(in.unread());
    const std::uint32_t signature = reader.u32("the signature");
    if (signature != static_cast<std::uint32_t>(Signature::Standard) &&
        signature != static_cast<std::uint32_t>(Signature::DoubleRle)) {
        throw Error(error::kInvalidFormat,
                    "unknown signature " + std::to_string(signature) + " (1234 or 5678 expected)");
    }
    h.signature = static_cast<Signature>(signature);
    // The name's length, then as many bytes (or UTF-16 units) as it gives; the stored-name
    // reader checks them.
    const std::int64_t n = readCompactIndex(reader);
    take(in, reader.position(), h.bytes);
    take(in, n >= 0 ? static_cast<std::uint64_t>(n) : 2 * static_cast<std::uint64_t>(-n), h.bytes);
    ByteReader nameReader(std::span<const std::uint8_t>(h.bytes).subspan(4));
    h.storedName = readStoredName(nameReader);
    return h;
}

// Cuts the BWT stage, as the stages before it give it out, into blocks, checks each as it
// comes and fills the pipeline's batches with them.
class BlockAssembler {
public:
    BlockAssembler(BlockPipeline& pipeline, bool verify) : pipeline_(pipeline), verify_(verify) {}

    void push(std::span<const std::uint8_t> data) {
        while (!data.empty()) {
            std::size_t part;
            if (headerFilled_ < kBwtBlockHeader) {
                if (headerFilled_ == 0) {
                    blockOffset_ = offset_;
                }
                part = std::min(kBwtBlockHeader - headerFilled_, data.size());
                std::memcpy(header_ + headerFilled_, data.data(), part);
                headerFilled_ += part;
                if (headerFilled_ == kBwtBlockHeader) {
                    startBlock();
                }
            } else {
                BlockBatch& batch = pipeline_.batch();
                part = std::min(std::size_t{n_} + 1 - filled_, data.size());
                std::memcpy(batch.bytes.get() + batch.used + filled_, data.data(), part);
                filled_ += part;
                if (filled_ == std::size_t{n_} + 1) {
                    endBlock();
                }
            }
            data = data.subspan(part);
            offset_ += part;
        }
    }

    void finish() {
        if (headerFilled_ > 0) {
            throw Error(error::kInputPastEnd,
                        headerFilled_ < kBwtBlockHeader
                            ? std::string("the data ends inside a BWT block header")
                            : "the data ends inside " + blockName(number_, blockOffset_));
        }
        if (pipeline_.batch().count > 0) {
            pipeline_.send();
        }
    }

private:
    void startBlock() {
        n_ = loadU32(header_);
        first_ = loadU32(header_ + 4);
        last_ = loadU32(header_ + 8);
        checkBwtHeader(n_, first_, last_, ++number_, blockOffset_);
        pipeline_.batch().reserve(std::size_t{n_} + 1);
        // The encoder cuts full blocks while input is left: only the last may be shorter.
        if (verify_ && number_ > 1 && previousSize_ != kBwtBlockSize) {
            differs("BWT block " + std::to_string(number_ - 1) + " holds " +
                    std::to_string(previousSize_) + " bytes and is not the last");
        }
        filled_ = 0;
    }

    void endBlock() {
        BlockBatch& batch = pipeline_.batch();
        const BwtBlock block{
            {batch.bytes.get() + batch.used, std::size_t{n_} + 1}, first_, last_, number_};
        checkBwtBytes(block, blockOffset_);
        batch.blocks[batch.count++] = block;
        batch.used += std::size_t{n_} + 1;
        previousSize_ = n_;
        headerFilled_ = 0;
        if (batch.count == kBwtChains) {
            pipeline_.send();
        }
    }

    BlockPipeline& pipeline_;
    bool verify_;
    std::uint8_t header_[kBwtBlockHeader] = {};
    std::size_t headerFilled_ = 0;
    std::uint32_t n_ = 0;
    std::uint32_t first_ = 0;
    std::uint32_t last_ = 0;
    std::size_t filled_ = 0;  // of the block's n + 1 bytes
    std::uint64_t number_ = 0;
    std::uint64_t offset_ = 0;  // in the stage
    std::uint64_t blockOffset_ = 0;
    std::uint32_t previousSize_ = 0;
};

// The work after the BWT: restores the batches of blocks, several at once, each over its
// stored bytes; then, in order, undoes the first run-length stage and gives the package to
// the sink.
class BlockConsumer {
public:
    BlockConsumer(ByteSink& out, std::uint64_t sizeLimit, bool verify)
        : runs_([&out](std::span<std::uint8_t> piece) { out.write(piece); }, sizeLimit, verify),
          verify_(verify),
          threads_(TaskPool::threads()) {}

    void restore(BlockBatch& batch, unsigned thread) {
        Scratch& scratch = threads_[thread];
        const std::span<const BwtBlock> blocks(batch.blocks, batch.count);
        if (!verify_) {
            scratch.restorer.restore(blocks, batch.bytes.get());
            return;
        }
        // Verifying compares each block encoded again with its stored bytes, so the blocks
        // are restored aside first.
        const std::size_t total = batch.used - batch.count;  // each block stores n + 1 bytes
        if (!scratch.restored) {
            scratch.restored.reset(new std::uint8_t[BlockBatch::kLargest]);
            scratch.encoder = std::make_unique<BwtBlockEncoder>();
        }
        scratch.restorer.restore(blocks, scratch.restored.get());
        std::size_t size = 0;
        for (const BwtBlock& block : blocks) {
            const std::size_t n = block.bytes.size() - 1;
            if (!scratch.encoder->reproduces({scratch.restored.get() + size, n}, block)) {
                differs("BWT block " + std::to_string(block.number) +
                        " is not what encoding its bytes gives");
            }
            size += n;
        }
        std::memcpy(batch.bytes.get(), scratch.restored.get(), total);
    }

    void consume(BlockBatch& batch) { runs_.decode({batch.bytes.get(), batch.used - batch.count}); }

    void finish() { runs_.finish(); }
    std::uint64_t produced() const { return runs_.produced(); }

private:
    struct Scratch {
        BwtRestorer restorer;
        std::unique_ptr<std::uint8_t[]> restored;  // when verifying
        std::unique_ptr<BwtBlockEncoder> encoder;  // when verifying
    };

    RleDecoder runs_;
    bool verify_;
    std::vector<Scratch> threads_;
};

// The stages before the BWT, on the calling thread: Huffman, (for 5678) the second
// run-length stage, move-to-front; their output goes to the assembler step by step.
void decodeToBlocks(InputWindow& in, Signature signature, const DecodeOptions& options,
                    BlockAssembler& blocks) {
    HuffmanDecoder huffman(in, options.sizeLimit);
    MtfDecoder mtf;
    ByteCounts counts{};
    std::vector<std::uint8_t> step(
        static_cast<std::size_t>(std::min<std::uint64_t>(kStep, huffman.size())));
    auto nextStep = [&] {
        const std::span<std::uint8_t> part(
            step.data(),
            static_cast<std::size_t>(std::min<std::uint64_t>(step.size(), huffman.left())));
        huffman.decode(part);
        if (options.verify) {
            for (std::uint8_t b : part) {
                ++counts[b];
            }
        }
        return part;
    };
    if (signature == Signature::Standard) {
        while (huffman.left() > 0) {
            const auto part = nextStep();
            mtf.decode(part);
            blocks.push(part);
        }
    } else {
        RleDecoder runs(
            [&](std::span<std::uint8_t> piece) {
                mtf.decode(piece);
                blocks.push(piece);
            },
            options.sizeLimit, options.verify);
        while (huffman.left() > 0) {
            runs.decode(nextStep());
        }
        runs.finish();
    }
    huffman.finish();
    if (options.verify) {
        const std::string difference = huffman.differenceFromEncoding(counts);
        if (!difference.empty()) {
            differs(difference);
        }
    }
    blocks.finish();
}

}  // namespace

StreamInfo decodeStream(ByteSource& source, ByteSink& out, const DecodeOptions& options) {
    InputWindow in(source);
    Header header = readHeader(in);
    if (options.verify) {
        if (encodeHeader(header.storedName, header.signature) != header.bytes) {
            differs("the stored name is not written as encoding writes it");
        }
    }
    BlockConsumer consumer(out, options.sizeLimit, options.verify);
    BlockPipeline pipeline(
        [&](BlockBatch& batch, unsigned thread) { consumer.restore(batch, thread); },
        [&](BlockBatch& batch) { consumer.consume(batch); }, [&] { consumer.finish(); });
    BlockAssembler blocks(pipeline, options.verify);
    try {
        decodeToBlocks(in, header.signature, options, blocks);
    } catch (...) {
        pipeline.abandon();
        throw;
    }
    pipeline.finish();
    return {header.signature, std::move(header.storedName), in.taken(), consumer.produced()};
}

}  // namespace varnox::uz
