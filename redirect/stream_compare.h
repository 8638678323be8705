#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/positional_file.h"

namespace varnox::redirect {

// Holds the bytes of a download, as they arrive, against a local file, piece by piece: only
// the piece at hand is read from the file, so neither copy is ever held whole.
class StreamCompare {
public:
    explicit StreamCompare(const platform::PositionalFile& local) : local_(local) {}

    // Takes the next bytes of the download. False once they show that the copies differ: a
    // byte unlike the local file's, or more bytes than it holds; nothing more need come then.
    // Throws varnox::Failure, naming the file, when the local file cannot be read.
    bool feed(const char* data, std::size_t size);

    const platform::PositionalFile& local() const { return local_; }
    std::uint64_t received() const { return received_; }
    // Where the first differing byte stands; nothing while all bytes agree.
    std::optional<std::uint64_t> firstDifference() const { return difference_; }
    // After the whole download: every byte agreed and the lengths are equal.
    bool same() const { return !difference_ && received_ == local_.size(); }

private:
    const platform::PositionalFile& local_;
    std::vector<std::uint8_t> piece_;
    std::uint64_t received_ = 0;
    std::optional<std::uint64_t> difference_;
};

}  // namespace varnox::redirect
