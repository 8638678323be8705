#include "ftp/reply_log.h"

#include <cctype>

namespace varnox::ftp {
namespace {

bool startsWithCode(std::string_view text) {
    return text.size() >= 3 && std::isdigit(static_cast<unsigned char>(text[0])) &&
           std::isdigit(static_cast<unsigned char>(text[1])) &&
           std::isdigit(static_cast<unsigned char>(text[2]));
}

}  // namespace

void ReplyLog::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            partial_ += bytes;
            return;
        }
        partial_ += bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        if (!partial_.empty() && partial_.back() == '\r') {
            partial_.pop_back();
        }
        line(partial_);
        partial_.clear();
    }
}

void ReplyLog::line(std::string_view text) {
    bool starts = code_.empty();
    if (starts) {
        current_.clear();
    }
    current_ += text;
    current_ += "\r\n";
    if (starts) {
        if (startsWithCode(text) && text.size() > 3 && text[3] == '-') {
            code_ = std::string(text.substr(0, 3));
            return;
        }
    } else if (!(text.substr(0, 3) == code_ && (text.size() == 3 || text[3] == ' '))) {
        return;  // a middle line of a multi-line reply
    }
    last_ = current_;
    lastCode_ = startsWithCode(text)
                    ? static_cast<std::uint32_t>(std::stoul(std::string(text.substr(0, 3))))
                    : 0;
    code_.clear();
    ++count_;
}

}  // namespace varnox::ftp
