#include "uz/codec.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

#include "uz/buffer.h"
#include "uz/bwt.h"
#include "uz/byte_reader.h"
#include "uz/fill_progress.h"
#include "uz/huffman.h"
#include "uz/mtf.h"
#include "uz/rle.h"
#include "uz/stored_name.h"

namespace varnox::uz {

namespace {

// Gives a buffer's memory back at once (clear() and assigning {} keep the capacity).
void release(std::vector<std::uint8_t>& buffer) {
    std::vector<std::uint8_t>().swap(buffer);
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

std::vector<std::uint8_t> header(std::string_view storedName, Signature signature) {
    if (signature != Signature::Standard && signature != Signature::DoubleRle) {
        throw Error(error::kInvalidValue,
                    "unknown signature " + std::to_string(static_cast<std::uint32_t>(signature)));
    }
    std::vector<std::uint8_t> out;
    putU32(out, static_cast<std::uint32_t>(signature));
    writeStoredName(storedName, out);
    return out;
}

// The stages after the first run-length pass; each buffer is dropped as soon as the next
// stage has been produced from it.
std::vector<std::uint8_t> finishEncoding(std::vector<std::uint8_t> out,
                                         std::vector<std::uint8_t> runs, Signature signature) {
    std::vector<std::uint8_t> stream = bwtEncode(runs);
    release(runs);
    mtfEncode(stream);
    if (signature == Signature::DoubleRle) {
        std::vector<std::uint8_t> again = rleEncode(stream);
        stream = std::move(again);
    }
    huffmanEncode(stream, out);
    return out;
}

struct Header {
    Signature signature;
    std::string storedName;
    std::size_t bodyOffset;
};

Header readHeader(std::span<const std::uint8_t> file) {
    ByteReader reader(file);
    const std::uint32_t signature = reader.u32("the signature");
    if (signature != static_cast<std::uint32_t>(Signature::Standard) &&
        signature != static_cast<std::uint32_t>(Signature::DoubleRle)) {
        throw Error(error::kInvalidFormat,
                    "unknown signature " + std::to_string(signature) + " (1234 or 5678 expected)");
    }
    std::string name = readStoredName(reader);
    return {static_cast<Signature>(signature), std::move(name), reader.position()};
}

// Below this many bytes before the BWT stage, a second thread costs more than it saves.
constexpr std::size_t kPipelineFrom = 2 * kBwtBlockSize;
// How many bytes the writer of the BWT stream fills between two reports of its progress.
constexpr std::size_t kFillStep = 64 * 1024;

// Restores the BWT stream that `fill` writes into `stream` in steps of kFillStep bytes (it
// calls the function it is given after each step). With a stream of some size, a second
// thread restores each block as soon as it is complete, while this one goes on filling:
// the sequential Huffman and move-to-front work overlaps with the BWT's memory-bound work.
// When both fail, the writer's error is the one raised, as without the second thread.
using Filler = std::function<void(const std::function<void(std::size_t)>& filledUpTo)>;

std::vector<std::uint8_t> restoreBlocks(std::vector<std::uint8_t>& stream, const Filler& fill) {
    if (stream.size() < kPipelineFrom) {
        fill([](std::size_t) {});
        return bwtDecode(stream);
    }
    // A stream restores to fewer bytes than it has.
    std::vector<std::uint8_t> out = stageBuffer(stream.size());
    FillProgress progress;
    std::size_t restored = 0;
    std::exception_ptr restoreError;
    std::thread restorer;
    try {
        restorer = std::thread([&] {
            try {
                restored = bwtDecodeAsFilled(stream, progress, out.data());
            } catch (...) {
                restoreError = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        fill([](std::size_t) {});
        return bwtDecode(stream);
    }
    try {
        fill([&](std::size_t filled) { progress.publish(filled); });
    } catch (...) {
        progress.finish();
        restorer.join();
        throw;
    }
    progress.finish();
    restorer.join();
    if (restoreError) {
        std::rethrow_exception(restoreError);
    }
    out.resize(restored);
    return out;
}

// Runs `step` over `data` in pieces of kFillStep bytes, reporting the end of each.
void inSteps(std::span<std::uint8_t> data, const std::function<void(std::span<std::uint8_t>)>& step,
             const std::function<void(std::size_t)>& filledUpTo) {
    for (std::size_t done = 0; done < data.size();) {
        const std::size_t size = std::min(kFillStep, data.size() - done);
        step(data.subspan(done, size));
        done += size;
        filledUpTo(done);
    }
}

// The stages of the body, in reverse order of encoding.
std::vector<std::uint8_t> decodeBody(std::span<const std::uint8_t> body, Signature signature,
                                     std::size_t sizeLimit, std::vector<std::uint8_t>* fileToDrop) {
    HuffmanDecoder huffman(body, sizeLimit);
    std::vector<std::uint8_t> stream;
    MtfDecoder mtf;
    Filler fill;
    if (signature == Signature::Standard) {
        // Huffman and move-to-front decoding in one pass, step by step.
        stream = stageBuffer(huffman.size());
        fill = [&](const std::function<void(std::size_t)>& filledUpTo) {
            inSteps(
                stream,
                [&](std::span<std::uint8_t> part) {
                    huffman.decode(part);
                    mtf.decode(part);
                },
                filledUpTo);
            huffman.finish();
        };
    } else {
        std::vector<std::uint8_t> coded = stageBuffer(huffman.size());
        huffman.decode(coded);
        huffman.finish();
        if (fileToDrop != nullptr) {
            release(*fileToDrop);
        }
        stream = rleDecode(coded, sizeLimit);
        release(coded);
        fill = [&](const std::function<void(std::size_t)>& filledUpTo) {
            inSteps(
                stream, [&](std::span<std::uint8_t> part) { mtf.decode(part); }, filledUpTo);
        };
    }
    std::vector<std::uint8_t> runs = restoreBlocks(stream, fill);
    release(stream);
    if (fileToDrop != nullptr) {
        release(*fileToDrop);
    }
    return rleDecode(runs, sizeLimit);
}

}  // namespace

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> package, std::string_view storedName,
                                 Signature signature) {
    auto out = header(storedName, signature);
    return finishEncoding(std::move(out), rleEncode(package), signature);
}

std::vector<std::uint8_t> encode(std::vector<std::uint8_t>&& package, std::string_view storedName,
                                 Signature signature) {
    auto out = header(storedName, signature);
    std::vector<std::uint8_t> runs = rleEncode(package);
    release(package);
    return finishEncoding(std::move(out), std::move(runs), signature);
}

std::vector<std::uint8_t> encodeRuns(std::vector<std::uint8_t>&& runs, std::string_view storedName,
                                     Signature signature) {
    auto out = header(storedName, signature);
    return finishEncoding(std::move(out), std::move(runs), signature);
}

Decoded decode(std::span<const std::uint8_t> uzFile, std::size_t sizeLimit) {
    Header h = readHeader(uzFile);
    auto package = decodeBody(uzFile.subspan(h.bodyOffset), h.signature, sizeLimit, nullptr);
    return {std::move(h.storedName), std::move(package), h.signature};
}

Decoded decode(std::vector<std::uint8_t>&& uzFile, std::size_t sizeLimit) {
    Header h = readHeader(uzFile);
    auto package = decodeBody(std::span<const std::uint8_t>(uzFile).subspan(h.bodyOffset),
                              h.signature, sizeLimit, &uzFile);
    return {std::move(h.storedName), std::move(package), h.signature};
}

}  // namespace varnox::uz
