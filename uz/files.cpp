#include "uz/files.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "uz/decoder.h"
#include "uz/file_io.h"

namespace varnox::uz {

FileSizes compressFile(const std::filesystem::path& package, const std::filesystem::path& uzFile,
                       Signature signature, std::atomic<std::uint64_t>* progress) {
    std::vector<std::uint8_t> bytes = readWholeFile(package);
    FileSizes sizes{bytes.size(), 0};
    std::vector<std::uint8_t> coded;
    std::atomic<std::uint64_t> counted{0};
    std::function<void(std::uint64_t)> onProgress;
    if (progress != nullptr) {
        onProgress = [&](std::uint64_t more) {
            counted += more;
            *progress += more;
        };
    }
    try {
        coded = encode(std::move(bytes), package.filename().string(), signature, onProgress);
    } catch (const Error& e) {
        throw Error(e.number(), "Cannot compress " + package.string() + ": " + e.description());
    }
    ReplacingFile out(uzFile);
    out.write(coded);
    out.commit();
    sizes.output = coded.size();
    if (progress != nullptr) {
        *progress += sizes.input - std::min(sizes.input, counted.load());
    }
    return sizes;
}

namespace {

// Decodes `uzFile`, opened as `source`, into `out`; codec errors name the file after
// `action` ("decompress").
StreamInfo decodeFile(const std::filesystem::path& uzFile, FileSource& source, ByteSink& out,
                      bool verify, const char* action) {
    try {
        return decodeStream(source, out, {UINT64_MAX, verify});
    } catch (const FileError&) {
        throw;
    } catch (const Error& e) {
        throw Error(e.number(), std::string("Cannot ") + action + " " + uzFile.string() + ": " +
                                    e.description());
    }
}

DecompressedFile result(StreamInfo info) {
    return {{info.fileSize, info.packageSize}, std::move(info.storedName), info.signature};
}

}  // namespace

DecompressedFile decompressFile(const std::filesystem::path& uzFile,
                                const std::filesystem::path& package) {
    FileSource source(uzFile);
    ReplacingFile out(package);
    StreamInfo info = decodeFile(uzFile, source, out, false, "decompress");
    out.commit();
    return result(std::move(info));
}

DecompressedFile verifyFile(const std::filesystem::path& uzFile) {
    FileSource source(uzFile);
    DiscardingSink nowhere;
    return result(decodeFile(uzFile, source, nowhere, true, "verify"));
}

}  // namespace varnox::uz
