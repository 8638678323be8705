#include "uz/file_io.h"

#include "platform/system_errors.h"
#include "uz/error.h"
#include "uz/files.h"

namespace varnox::uz {

namespace {

// Runs a step on the file layer, its failures turned into the codec's.
template <typename Step>
auto onFile(Step step) -> decltype(step()) {
    try {
        return step();
    } catch (const platform::SystemFailure& failure) {
        throw FileError(platform::classicNumber(failure.systemError(), failure::kFileNotFound),
                        failure.description());
    } catch (const Failure& failure) {
        throw FileError(failure.number(), failure.description());
    }
}

}  // namespace

FileSource::FileSource(const std::filesystem::path& file) {
    onFile([&] { file_.emplace(file, platform::PositionalFile::NotOrdinary::kCannotRead); });
}

std::size_t FileSource::read(std::span<std::uint8_t> into) {
    return onFile([&] { return file_->read(into); });
}

FileSink::FileSink(const std::filesystem::path& target) {
    platform::ReplaceOptions options;
    options.temporaryPrefix = std::string(kTemporaryPrefix);
    options.temporaryEnding = std::string(kTemporaryEnding);
    options.removeOnSignal = true;
    options.saysReplace = true;
    onFile([&] { file_.emplace(target, options); });
}

void FileSink::write(std::span<const std::uint8_t> bytes) {
    onFile([&] { file_->write({reinterpret_cast<const char*>(bytes.data()), bytes.size()}); });
}

void FileSink::commit() {
    onFile([&] { file_->commit(); });
}

}  // namespace varnox::uz
