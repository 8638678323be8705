#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "uz/codec.h"

namespace varnox::uz {

// The names of the temporary files the functions below write beside their output before
// it takes its name: prefix, random letters, ending. A run cut short by a signal that
// cannot be caught leaves one behind, for the caller's next run to remove.
constexpr std::string_view kTemporaryPrefix = ".varnox-";
constexpr std::string_view kTemporaryEnding = ".part";

struct FileSizes {
    std::uint64_t input = 0;
    std::uint64_t output = 0;
};

// Compresses the package at `package` into the .uz file `uzFile`, storing the package's
// bare file name. `uzFile` appears complete or not at all; an existing file of that name
// is replaced only on success. Errors are uz::Error naming the file concerned. `progress`,
// when given, is added the package's bytes as they are done (the whole size by the end),
// for another thread to read.
FileSizes compressFile(const std::filesystem::path& package, const std::filesystem::path& uzFile,
                       Signature signature = Signature::Standard,
                       std::atomic<std::uint64_t>* progress = nullptr);

struct DecompressedFile {
    FileSizes sizes;
    std::string storedName;
    Signature signature = Signature::Standard;
};

// Decompresses the .uz file `uzFile` into `package` (the name stored inside is not used),
// as a stream: the file is read in pieces and the package written as it is made, so memory
// stays bounded whatever the package's size. A corrupt or truncated file raises uz::Error
// naming it; a file that cannot be read or written (a full disk) raises uz::FileError naming
// that file. Either way `package` stays as it was and no temporary file is left.
DecompressedFile decompressFile(const std::filesystem::path& uzFile,
                                const std::filesystem::path& package);

// Checks the .uz file `uzFile` as a stream: that it decodes, and that encoding its package
// again with the file's own signature and stored name gives the file byte for byte (which
// tells some damage that still decodes). Raises uz::Error naming the file where it does
// not, and uz::FileError when it cannot be read. Writes nothing.
DecompressedFile verifyFile(const std::filesystem::path& uzFile);

}  // namespace varnox::uz
