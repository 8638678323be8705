#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "uz/stream.h"

namespace varnox::uz {

// Reads a whole regular file. Raises uz::FileError with the classic number for the cause (file
// not found, permission denied, ...) and a description naming the file.
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& file);

// A regular file read piece by piece, for the decoder. Raises uz::FileError with the classic
// number for the cause and a description naming the file, when opened and on each read.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::filesystem::path& file);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::size_t read(std::span<std::uint8_t> into) override;
    std::uint64_t remaining() const override { return size_ > done_ ? size_ - done_ : 0; }

private:
    std::filesystem::path file_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t done_ = 0;
};

// Writes a file in place of `target` without ever leaving a partial or clobbered file: the
// bytes go to a temporary file in the target's folder, which replaces the target in one
// rename on commit() and is removed if the object goes away uncommitted. Failures raise
// uz::FileError naming the target. Like the game's tool, it leaves flushing the data to the
// disk to the system: a crash of the whole machine right after commit() may lose it.
class ReplacingFile final : public ByteSink {
public:
    explicit ReplacingFile(std::filesystem::path target);
    ~ReplacingFile() override;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(std::span<const std::uint8_t> bytes) override;
    // Closes the temporary file and renames it over the target.
    void commit();

private:
    [[noreturn]] void fail(int errnum, const char* action);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    int signalSlot_ = -1;  // where removeTemporaryFilesNow() finds the temporary file
};

// For a signal handler that ends the process: removes the temporary file of every
// ReplacingFile being written at this moment, with async-signal-safe calls only (the paths
// wait in buffers set aside beforehand). The objects are left as they are.
void removeTemporaryFilesNow() noexcept;

}  // namespace varnox::uz
