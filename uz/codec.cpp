#include "uz/codec.h"

#include <algorithm>
#include <utility>

#include "uz/buffer.h"
#include "uz/bwt.h"
#include "uz/decoder.h"
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

}  // namespace

std::vector<std::uint8_t> encodeHeader(std::string_view storedName, Signature signature) {
    if (signature != Signature::Standard && signature != Signature::DoubleRle) {
        throw Error(error::kInvalidValue,
                    "unknown signature " + std::to_string(static_cast<std::uint32_t>(signature)));
    }
    std::vector<std::uint8_t> out;
    putU32(out, static_cast<std::uint32_t>(signature));
    writeStoredName(storedName, out);
    return out;
}

namespace {

// The stages after the first run-length pass; each buffer is dropped as soon as the next
// stage has been produced from it.
std::vector<std::uint8_t> finishEncoding(std::vector<std::uint8_t> out,
                                         std::vector<std::uint8_t> runs, Signature signature,
                                         const std::function<void(std::size_t)>& onBlock = {}) {
    std::vector<std::uint8_t> stream = bwtEncode(runs, onBlock);
    release(runs);
    mtfEncode(stream);
    if (signature == Signature::DoubleRle) {
        std::vector<std::uint8_t> again = rleEncode(stream);
        stream = std::move(again);
    }
    huffmanEncode(stream, out);
    return out;
}

}  // namespace

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> package, std::string_view storedName,
                                 Signature signature) {
    auto out = encodeHeader(storedName, signature);
    return finishEncoding(std::move(out), rleEncode(package), signature);
}

std::vector<std::uint8_t> encode(std::vector<std::uint8_t>&& package, std::string_view storedName,
                                 Signature signature,
                                 const std::function<void(std::uint64_t)>& onProgress) {
    auto out = encodeHeader(storedName, signature);
    std::vector<std::uint8_t> runs = rleEncode(package);
    const std::uint64_t packageSize = package.size();
    release(package);
    // The sorted blocks stand for the package's bytes in proportion.
    const std::uint64_t runsSize = runs.size();
    std::function<void(std::size_t)> onBlock;
    if (onProgress && runsSize > 0) {
        onBlock = [&](std::size_t block) { onProgress(block * packageSize / runsSize); };
    }
    return finishEncoding(std::move(out), std::move(runs), signature, onBlock);
}

std::vector<std::uint8_t> encodeZeros(std::uint64_t size, std::string_view storedName,
                                      Signature signature) {
    auto out = encodeHeader(storedName, signature);
    // The first stage's runs for the zeros: runs of 255, then what is left over.
    const std::vector<std::uint8_t> full = rleEncode(std::vector<std::uint8_t>(255, 0));
    std::vector<std::uint8_t> runs;
    runs.reserve(static_cast<std::size_t>(size / 255 * full.size() + full.size()));
    for (std::uint64_t i = 0; i < size / 255; ++i) {
        runs.insert(runs.end(), full.begin(), full.end());
    }
    const std::vector<std::uint8_t> rest = rleEncode(std::vector<std::uint8_t>(size % 255, 0));
    runs.insert(runs.end(), rest.begin(), rest.end());
    return finishEncoding(std::move(out), std::move(runs), signature);
}

Decoded decode(std::span<const std::uint8_t> uzFile, std::size_t sizeLimit) {
    MemorySource source(uzFile);
    VectorSink sink;
    StreamInfo info = decodeStream(source, sink, {sizeLimit, false});
    return {std::move(info.storedName), std::move(sink.bytes), info.signature};
}

void verify(std::span<const std::uint8_t> uzFile, std::size_t sizeLimit) {
    MemorySource source(uzFile);
    DiscardingSink sink;
    decodeStream(source, sink, {sizeLimit, true});
}

}  // namespace varnox::uz
