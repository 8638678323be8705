#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnox::ftp {

// Gathers the server's replies from the bytes of the control connection (libcurl hands
// them over line by line, or in any other pieces) and keeps the last complete one: every
// line of a multi-line reply ("550-...", ..., "550 ..."), each ending in CRLF.
class ReplyLog {
public:
    void feed(std::string_view bytes);

    // The last complete reply, empty before the first.
    const std::string& lastReply() const { return last_; }
    // Its three-digit code, 0 when there is none or it did not start with one.
    std::uint32_t lastCode() const { return lastCode_; }
    // How many complete replies have arrived, to tell whether a call got any.
    std::uint64_t count() const { return count_; }

private:
    void line(std::string_view text);

    std::string partial_;  // bytes of a line whose end has not arrived
    std::string current_;  // lines of a reply still going on
    std::string code_;     // code of the multi-line reply going on, empty if none
    std::string last_;
    std::uint32_t lastCode_ = 0;
    std::uint64_t count_ = 0;
};

}  // namespace varnox::ftp
