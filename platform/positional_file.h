#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace varnox::platform {

// An ordinary file opened for reading at chosen positions, so that a reader can take the
// pieces it needs without reading the rest. Failures are varnox::Failure naming the file.
class PositionalFile {
public:
    // Fails with failure::kFileNotFound when nothing, or something other than an ordinary
    // file, is at `file` (a FIFO does not hold the open).
    explicit PositionalFile(std::filesystem::path file);
    ~PositionalFile();
    PositionalFile(const PositionalFile&) = delete;
    PositionalFile& operator=(const PositionalFile&) = delete;

    const std::filesystem::path& path() const { return file_; }
    // The size when it was opened.
    std::uint64_t size() const { return size_; }

    // Reads into `into` from `offset`, going on after interruptions; fewer bytes only at the
    // end of the file. Returns how many were read.
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) const;

private:
    std::filesystem::path file_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace varnox::platform
