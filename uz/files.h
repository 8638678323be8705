#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "uz/codec.h"

namespace varnox::uz {

struct FileSizes {
    std::uint64_t input = 0;
    std::uint64_t output = 0;
};

// Compresses the package at `package` into the .uz file `uzFile`, storing the package's
// bare file name. `uzFile` appears complete or not at all; an existing file of that name
// is replaced only on success. Errors are uz::Error naming the file concerned.
FileSizes compressFile(const std::filesystem::path& package, const std::filesystem::path& uzFile,
                       Signature signature = Signature::Standard);

struct DecompressedFile {
    FileSizes sizes;
    std::string storedName;
    Signature signature = Signature::Standard;
};

// Decompresses the .uz file `uzFile` into `package` (the name stored inside is not used).
// A corrupt or truncated file raises uz::Error naming it, and leaves `package` as it was.
DecompressedFile decompressFile(const std::filesystem::path& uzFile,
                                const std::filesystem::path& package);

}  // namespace varnox::uz
