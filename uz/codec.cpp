#include "uz/codec.h"

#include <utility>

#include "uz/bwt.h"
#include "uz/byte_reader.h"
#include "uz/huffman.h"
#include "uz/mtf.h"
#include "uz/rle.h"
#include "uz/stored_name.h"

namespace varnox::uz {

namespace {

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
    runs = {};
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

// The stages after Huffman decoding, in reverse order of encoding.
std::vector<std::uint8_t> finishDecoding(std::vector<std::uint8_t> stream, Signature signature,
                                         std::size_t sizeLimit) {
    if (signature == Signature::DoubleRle) {
        std::vector<std::uint8_t> expanded = rleDecode(stream, sizeLimit);
        stream = std::move(expanded);
    }
    mtfDecode(stream);
    std::vector<std::uint8_t> runs = bwtDecode(stream);
    stream = {};
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
    std::vector<std::uint8_t>().swap(package);
    return finishEncoding(std::move(out), std::move(runs), signature);
}

Decoded decode(std::span<const std::uint8_t> uzFile, std::size_t sizeLimit) {
    Header h = readHeader(uzFile);
    auto stream = huffmanDecode(uzFile.subspan(h.bodyOffset), sizeLimit);
    return {std::move(h.storedName), finishDecoding(std::move(stream), h.signature, sizeLimit),
            h.signature};
}

Decoded decode(std::vector<std::uint8_t>&& uzFile, std::size_t sizeLimit) {
    Header h = readHeader(uzFile);
    auto stream =
        huffmanDecode(std::span<const std::uint8_t>(uzFile).subspan(h.bodyOffset), sizeLimit);
    std::vector<std::uint8_t>().swap(uzFile);
    return {std::move(h.storedName), finishDecoding(std::move(stream), h.signature, sizeLimit),
            h.signature};
}

}  // namespace varnox::uz
