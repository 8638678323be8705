#pragma once

#include <cstdint>
#include <string>

#include "uz/codec.h"
#include "uz/stream.h"

namespace varnox::uz {

struct DecodeOptions {
    // A file whose package, or any stage on the way to it, would exceed this many bytes
    // raises uz::Error (overflow) as soon as that shows.
    std::uint64_t sizeLimit = UINT64_MAX;
    // Also check that encoding the package again, with the file's own signature and stored
    // name, gives the file byte for byte; raises uz::Error saying where it would not.
    bool verify = false;
};

struct StreamInfo {
    Signature signature = Signature::Standard;
    std::string storedName;  // UTF-8; informative only, never a path
    std::uint64_t fileSize = 0;
    std::uint64_t packageSize = 0;
};

// Decodes a .uz file of either signature as a stream: the file is read in pieces and the
// package goes to `out` as it is made, so memory stays bounded (a few MiB, see the
// README) whatever the package's size. Every stage works block by block while its state
// carries across blocks; for a large file the BWT blocks are restored on all cores while the
// stages before them go on. Any input that is not a valid .uz file raises uz::Error saying what is
// wrong; errors of `in` and `out` pass through. The package may have been partly written when an
// error is raised.
StreamInfo decodeStream(ByteSource& in, ByteSink& out, const DecodeOptions& options = {});

}  // namespace varnox::uz
