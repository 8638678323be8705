#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "uz/stream.h"

namespace varnox::uz {

// Run-length stage with run lead 5: a run of 5 to 255 equal bytes becomes five copies and
// a count byte; longer runs split at 255; shorter runs stay as they are.
//
// The encoder takes its input in any number of pieces (a run may go on from one piece to
// the next) and gives its output to `out` as it is made: stretches of the input as they
// are, and the runs' bytes.
class RleEncoder {
public:
    explicit RleEncoder(ByteSink& out) : out_(out) {}

    void encode(std::span<const std::uint8_t> in);
    // The input has ended: hands out the run it ended with.
    void finish();

private:
    // Hands out a stretch of `length` bytes equal to `byte` that starts a count.
    void stretch(std::uint8_t byte, std::size_t length);

    ByteSink& out_;
    // The run the input so far ends with: `carried_` bytes equal to `last_` since the last
    // place where the count started again.
    std::uint8_t last_ = 0;
    std::size_t carried_ = 0;
};

// The whole stage at once.
std::vector<std::uint8_t> rleEncode(std::span<const std::uint8_t> in);

// The inverse, in pieces: the stage's input may come in any number of pieces, and the run
// being read carries over from one to the next. The output goes to `out` in pieces of at
// most kPiece bytes, which the receiver may change in place. Raises uz::Error when a count
// byte is below 5 or missing at the end, or when the output would exceed `sizeLimit` bytes.
//
// With `checkEncoding`, it also raises uz::Error where the input is not what rleEncode
// writes for the output: a run of fewer than 255 followed by the same byte, which the
// encoder would have made one longer run.
class RleDecoder {
public:
    static constexpr std::size_t kPiece = std::size_t{256} << 10;
    using Output = std::function<void(std::span<std::uint8_t>)>;

    RleDecoder(Output out, std::uint64_t sizeLimit, bool checkEncoding = false);

    void decode(std::span<const std::uint8_t> in);
    // The input has ended: hands out the last output.
    void finish();
    std::uint64_t produced() const { return produced_; }

private:
    void copy(const std::uint8_t* bytes, std::size_t count);
    void fill(std::uint8_t byte, std::size_t count);
    void grow(std::size_t count);
    void makeRoom();
    void flush();
    // The count byte `count` at `at` in the piece `in` ends the run of last_.
    void endRun(std::span<const std::uint8_t> in, std::size_t at);

    Output out_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t room_ = 0;
    std::size_t filled_ = 0;
    std::uint64_t produced_ = 0;
    std::uint64_t sizeLimit_;
    bool checkEncoding_;
    std::uint64_t offset_ = 0;  // stage offset of the piece being decoded
    // The run carried over: how many equal bytes of last_ have been copied since the last
    // count (0 to 4), whether the fifth has been and its count is next, and whether the last
    // count ended a run short of 255.
    std::uint8_t last_ = 0;
    unsigned equal_ = 0;
    bool countNext_ = false;
    bool shortRunEnded_ = false;
};

// The whole stage at once, for tests of the stage on its own.
std::vector<std::uint8_t> rleDecode(std::span<const std::uint8_t> in,
                                    std::uint64_t sizeLimit = UINT64_MAX);

}  // namespace varnox::uz
