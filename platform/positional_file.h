#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace varnox::platform {

// The program's one reader of files: an ordinary file opened for reading, at chosen positions
// (readAt), so that a reader can take the pieces it needs without reading the rest, or in
// order (read). The open does not wait on a FIFO. A file that cannot be opened or read fails
// with a SystemFailure naming it ("Cannot read FILE: reason"; a missing file is
// failure::kFileNotFound).
class PositionalFile {
public:
    // How the open reports something other than an ordinary file at the path (a folder, a
    // FIFO, a device).
    enum class NotOrdinary {
        kNotFound,    // failure::kFileNotFound, "Not an ordinary file: FILE"
        kCannotRead,  // failure::kPathFileAccessError, "Cannot read FILE: it is a folder"
    };

    explicit PositionalFile(std::filesystem::path file,
                            NotOrdinary notOrdinary = NotOrdinary::kNotFound);
    // The file, or nothing when no ordinary file is there to read (nothing at all, a folder, a
    // dangling link, a FIFO). Fails, naming the file, when something is there but cannot be
    // read, and when the folder cannot be searched, so that the file's presence cannot be told.
    static std::optional<PositionalFile> openIfThere(std::filesystem::path file);

    ~PositionalFile();
    PositionalFile(PositionalFile&& other) noexcept;
    PositionalFile& operator=(PositionalFile&&) = delete;
    PositionalFile(const PositionalFile&) = delete;
    PositionalFile& operator=(const PositionalFile&) = delete;

    const std::filesystem::path& path() const { return file_; }
    // The size when it was opened.
    std::uint64_t size() const { return size_; }

    // Reads into `into` from `offset`, going on after interruptions; fewer bytes only at the
    // end of the file. Returns how many were read.
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) const;
    // Reads on from where the last read() ended, as readAt().
    std::size_t read(std::span<std::uint8_t> into);
    // Where the next read() starts.
    std::uint64_t position() const { return position_; }

private:
    struct Opened {
        int fd = -1;
        std::uint64_t size = 0;
    };
    PositionalFile(std::filesystem::path file, Opened opened)
        : file_(std::move(file)), fd_(opened.fd), size_(opened.size) {}

    std::filesystem::path file_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

}  // namespace varnox::platform
