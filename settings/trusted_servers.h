#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system_errors.h"

namespace varnox::settings {

// The certificates trusted by hand, one line per server: "host:port SHA-256". Lines may end in
// LF or CR LF and the fingerprint may be in either letter case. The file is readable by its
// owner only, and replaced whole on every change. As ssh does with its files, the file is not
// used when it or its folder could be changed by someone else: when group or others may write
// it, or another user (not root) owns it; whoever can change it could make the program trust
// any certificate.
class TrustedServers {
public:
    explicit TrustedServers(std::filesystem::path file) : file_(std::move(file)) {}

    // The fingerprint trusted for `server` ("AB:CD:...", in capitals), none when nothing is
    // trusted for it; or why the file cannot be used, naming it. Never throws.
    struct Lookup {
        std::optional<std::string> fingerprint;
        std::optional<platform::SystemFailure> problem;
    };
    Lookup lookUp(const std::string& server) const noexcept;
    // Trusts `fingerprint` for `server` in place of any before. Throws varnox::Failure naming
    // the file when it cannot be used or written.
    void trust(const std::string& server, const std::string& fingerprint);

private:
    // The file's lines without their line ends, none when there is no file; throws
    // varnox::Failure naming the file, also when it cannot be used.
    std::vector<std::string> lines() const;
    // A line as server and fingerprint (in capitals), nothing for any other line.
    static std::optional<std::pair<std::string, std::string>> entryOf(std::string_view line);

    std::filesystem::path file_;
    mutable std::mutex mutex_;
};

}  // namespace varnox::settings
