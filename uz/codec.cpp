#include "uz/codec.h"

#include <algorithm>
#include <utility>

#include "uz/decoder.h"
#include "uz/encoder.h"
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

std::vector<std::uint8_t> encode(std::span<const std::uint8_t> package, std::string_view storedName,
                                 Signature signature) {
    VectorSink out;
    out.bytes = encodeHeader(storedName, signature);
    PackageEncoder encoder(signature);
    encoder.write(package);
    encoder.finish(out);
    return std::move(out.bytes);
}

std::vector<std::uint8_t> encode(std::vector<std::uint8_t>&& package, std::string_view storedName,
                                 Signature signature) {
    VectorSink out;
    out.bytes = encodeHeader(storedName, signature);
    PackageEncoder encoder(signature);
    encoder.write(package);
    release(package);
    encoder.finish(out);
    return std::move(out.bytes);
}

std::vector<std::uint8_t> encodeZeros(std::uint64_t size, std::string_view storedName,
                                      Signature signature) {
    VectorSink out;
    out.bytes = encodeHeader(storedName, signature);
    PackageEncoder encoder(signature);
    // The first stage's runs for the zeros: runs of 255, many at a time, then what is left.
    const std::vector<std::uint8_t> full = rleEncode(std::vector<std::uint8_t>(255, 0));
    constexpr std::uint64_t kRunsAtATime = 4096;
    std::vector<std::uint8_t> runs;
    for (std::uint64_t i = 0; i < std::min(size / 255, kRunsAtATime); ++i) {
        runs.insert(runs.end(), full.begin(), full.end());
    }
    for (std::uint64_t left = size / 255; left > 0;) {
        const std::uint64_t part = std::min(left, kRunsAtATime);
        encoder.writeRuns(std::span(runs).first(static_cast<std::size_t>(part) * full.size()));
        left -= part;
    }
    encoder.writeRuns(rleEncode(std::vector<std::uint8_t>(size % 255, 0)));
    encoder.finish(out);
    return std::move(out.bytes);
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
