#include "uz/files.h"

#include <utility>

#include "uz/file_io.h"

namespace varnox::uz {

FileSizes compressFile(const std::filesystem::path& package, const std::filesystem::path& uzFile,
                       Signature signature) {
    std::vector<std::uint8_t> bytes = readWholeFile(package);
    FileSizes sizes{bytes.size(), 0};
    std::vector<std::uint8_t> coded;
    try {
        coded = encode(std::move(bytes), package.filename().string(), signature);
    } catch (const Error& e) {
        throw Error(e.number(), "Cannot compress " + package.string() + ": " + e.description());
    }
    ReplacingFile out(uzFile);
    out.write(coded);
    out.commit();
    sizes.output = coded.size();
    return sizes;
}

DecompressedFile decompressFile(const std::filesystem::path& uzFile,
                                const std::filesystem::path& package) {
    std::vector<std::uint8_t> bytes = readWholeFile(uzFile);
    DecompressedFile result;
    result.sizes.input = bytes.size();
    Decoded decoded;
    try {
        decoded = decode(std::move(bytes));
    } catch (const Error& e) {
        throw Error(e.number(), "Cannot decompress " + uzFile.string() + ": " + e.description());
    }
    ReplacingFile out(package);
    out.write(decoded.package);
    out.commit();
    result.sizes.output = decoded.package.size();
    result.storedName = std::move(decoded.storedName);
    result.signature = decoded.signature;
    return result;
}

}  // namespace varnox::uz
