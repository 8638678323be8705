#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace varnox::uz {

// Where a decoder reads from: bytes in memory or a file read piece by piece (file_io.h).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to into.size() bytes and returns how many; 0 only at the end.
    virtual std::size_t read(std::span<std::uint8_t> into) = 0;
    // How many bytes are still to be read, as far as the source knows.
    virtual std::uint64_t remaining() const = 0;
};

// Where a decoder's output goes, piece by piece.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t read(std::span<std::uint8_t> into) override;
    std::uint64_t remaining() const override { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
};

class VectorSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> bytes;
};

// Takes everything and keeps nothing.
class DiscardingSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t>) override {}
};

// The unread bytes of a source, held in a window of fixed size (1 MiB, less for a smaller
// source) that is refilled as they are consumed, so a file of any size is read in pieces.
class InputWindow {
public:
    explicit InputWindow(ByteSource& source);

    std::size_t capacity() const { return capacity_; }
    // Makes at least `count` (at most capacity()) unread bytes available, unless the source
    // ends first; returns how many are available.
    std::size_t ensure(std::size_t count);
    std::span<const std::uint8_t> unread() const { return {buffer_.get() + begin_, end_ - begin_}; }
    void consume(std::size_t count) { begin_ += count; }
    // Bytes taken from the source so far, consumed or not.
    std::uint64_t taken() const { return offset_ + end_; }
    // The unread bytes and those the source still has.
    std::uint64_t remaining() const { return (end_ - begin_) + source_.remaining(); }

private:
    ByteSource& source_;
    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t offset_ = 0;  // stream offset of buffer_[0]
    bool ended_ = false;
};

}  // namespace varnox::uz
