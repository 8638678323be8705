#include "uz/files.h"

#include <utility>

#include "uz/decoder.h"
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
    FileSource source(uzFile);
    ReplacingFile out(package);
    StreamInfo info;
    try {
        info = decodeStream(source, out);
    } catch (const FileError&) {
        throw;
    } catch (const Error& e) {
        throw Error(e.number(), "Cannot decompress " + uzFile.string() + ": " + e.description());
    }
    out.commit();
    return {{info.fileSize, info.packageSize}, std::move(info.storedName), info.signature};
}

}  // namespace varnox::uz
