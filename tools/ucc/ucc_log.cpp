#include "tools/ucc/ucc_log.h"

namespace varnox::ucc {

UccLog::UccLog(const std::filesystem::path& file)
    : out_(file, std::ios::binary | std::ios::out | std::ios::trunc) {}

std::string UccLog::clean(std::string_view text) {
    std::string cleaned(text);
    for (char& c : cleaned) {
        if (c == '\r' || c == '\n') {
            c = '?';
        }
    }
    return cleaned;
}

void UccLog::line(std::string_view event, std::string_view text) {
    if (!out_.is_open()) {
        return;
    }
    out_ << event << ": " << clean(text) << "\r\n";
    out_.flush();
}

}  // namespace varnox::ucc
