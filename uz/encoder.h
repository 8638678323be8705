#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "uz/codec.h"
#include "uz/stream.h"

namespace varnox::uz {

// Encodes a package into the body of a .uz file as the package comes, on all cores. The
// first run-length stage takes the package in pieces; each BWT block, as soon as it is full,
// is sorted, coded by move-to-front and its bytes counted on a core of its own while more of
// the package comes. At the end the blocks' move-to-front codes are put right in order, the
// second run-length stage runs over them (DoubleRle), and the Huffman stage codes all of it
// with one tree, on all cores. The output is the same as encoding all at once, whatever the
// pieces.
class PackageEncoder {
public:
    explicit PackageEncoder(Signature signature);
    ~PackageEncoder();
    PackageEncoder(const PackageEncoder&) = delete;
    PackageEncoder& operator=(const PackageEncoder&) = delete;

    // The package's next bytes.
    void write(std::span<const std::uint8_t> bytes);
    // What the first stage writes for the package's next bytes, for a caller that makes it
    // without the package.
    void writeRuns(std::span<const std::uint8_t> runs);
    // The package has ended: writes the body to `out` as it is made. Raises uz::Error for
    // a package beyond the format's 32-bit counts; errors of `out` pass through.
    void finish(ByteSink& out);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace varnox::uz
