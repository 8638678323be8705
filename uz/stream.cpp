#include "uz/stream.h"

#include <algorithm>
#include <cstring>

namespace varnox::uz {

std::size_t MemorySource::read(std::span<std::uint8_t> into) {
    const std::size_t count = std::min(into.size(), bytes_.size());
    if (count == 0) {
        return 0;  // an empty span may have no address at all
    }
    std::memcpy(into.data(), bytes_.data(), count);
    bytes_ = bytes_.subspan(count);
    return count;
}

void VectorSink::write(std::span<const std::uint8_t> more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
}

namespace {
constexpr std::size_t kLargestWindow = std::size_t{1} << 20;
constexpr std::size_t kSmallestWindow = 4096;
}  // namespace

InputWindow::InputWindow(ByteSource& source)
    : source_(source),
      capacity_(static_cast<std::size_t>(
          std::clamp<std::uint64_t>(source.remaining() + 1, kSmallestWindow, kLargestWindow))),
      buffer_(new std::uint8_t[capacity_]) {}

std::size_t InputWindow::ensure(std::size_t count) {
    if (end_ - begin_ >= count || ended_) {
        return end_ - begin_;
    }
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        offset_ += begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    while (end_ < std::min(count, capacity_)) {
        const std::size_t got = source_.read({buffer_.get() + end_, capacity_ - end_});
        if (got == 0) {
            ended_ = true;
            break;
        }
        end_ += got;
    }
    return end_ - begin_;
}

}  // namespace varnox::uz
