#include "ftp/names.h"

#include <algorithm>

namespace varnox::ftp {

bool isSendable(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20; });
}

namespace {

bool isPlainRemoteName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    return name.find_first_of(std::string_view("/\\\0\r\n", 5)) == std::string_view::npos;
}

}  // namespace

std::optional<std::filesystem::path> localTargetPath(const std::filesystem::path& folder,
                                                     std::string_view remoteName) {
    if (!isPlainRemoteName(remoteName)) {
        return std::nullopt;
    }
    return folder / std::filesystem::path(std::string(remoteName));
}

}  // namespace varnox::ftp
