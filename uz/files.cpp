#include "uz/files.h"

#include <memory>
#include <utility>

#include "uz/decoder.h"
#include "uz/encoder.h"
#include "uz/file_io.h"

namespace varnox::uz {

namespace {

// How much of a package is read at a time: about a block, so that the first is sorted soon.
constexpr std::size_t kReadPiece = std::size_t{256} << 10;

// Passes bytes on and counts them.
struct CountingSink final : ByteSink {
    explicit CountingSink(ByteSink& to) : out(to) {}
    void write(std::span<const std::uint8_t> bytes) override {
        out.write(bytes);
        count += bytes.size();
    }
    ByteSink& out;
    std::uint64_t count = 0;
};

}  // namespace

FileSizes compressFile(const std::filesystem::path& package, const std::filesystem::path& uzFile,
                       Signature signature, std::atomic<std::uint64_t>* progress) {
    FileSource source(package);
    FileSizes sizes;
    try {
        const std::vector<std::uint8_t> header =
            encodeHeader(package.filename().string(), signature);
        // Read in pieces, the blocks sorted while the rest is read; then the file written as
        // the last stage codes it.
        PackageEncoder encoder(signature);
        const std::unique_ptr<std::uint8_t[]> piece(new std::uint8_t[kReadPiece]);
        while (const std::size_t got = source.read({piece.get(), kReadPiece})) {
            encoder.write({piece.get(), got});
            sizes.input += got;
            if (progress != nullptr) {
                *progress += got;  // the blocks are sorted as they fill, so this runs with them
            }
        }
        FileSink file(uzFile);
        CountingSink out(file);
        out.write(header);
        encoder.finish(out);
        file.commit();
        sizes.output = out.count;
    } catch (const FileError&) {
        throw;
    } catch (const Error& e) {
        throw Error(e.number(), "Cannot compress " + package.string() + ": " + e.description());
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
    FileSink out(package);
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
