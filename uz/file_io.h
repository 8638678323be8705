#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "platform/files.h"
#include "platform/positional_file.h"
#include "uz/stream.h"

// The codec's files on the program's file layer (platform/), with the codec's errors: every
// failure is a uz::FileError with the classic number for the cause (a missing file or folder
// is file not found) and a description naming the file.
namespace varnox::uz {

// A regular file read piece by piece, for the decoder and the encoder.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::filesystem::path& file);

    std::size_t read(std::span<std::uint8_t> into) override;
    std::uint64_t remaining() const override {
        return file_->size() > file_->position() ? file_->size() - file_->position() : 0;
    }

private:
    std::optional<platform::PositionalFile> file_;
};

// A file written in place of `target` (platform::ReplacingFile), named as kTemporaryPrefix,
// random letters and kTemporaryEnding (files.h) until commit(), and removed by
// platform::removeTemporaryFilesNow() when a signal ends the process meanwhile. Like the
// game's tool, it leaves flushing the data to the disk to the system: a crash of the whole
// machine right after commit() may lose it.
class FileSink final : public ByteSink {
public:
    explicit FileSink(const std::filesystem::path& target);

    void write(std::span<const std::uint8_t> bytes) override;
    // Closes the temporary file and renames it over the target.
    void commit();

private:
    std::optional<platform::ReplacingFile> file_;
};

}  // namespace varnox::uz
