#include "ftp/sftp_address.h"

#include <cctype>

#include "ftp/address.h"
#include "ftp/errors.h"
#include "ftp/names.h"
#include "ftp/remote_path.h"

namespace varnox::ftp {

namespace {

constexpr std::string_view kScheme = "sftp://";

}  // namespace

bool isSftpAddress(std::string_view text) {
    if (text.size() < kScheme.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != kScheme[i]) {
            return false;
        }
    }
    return true;
}

std::optional<SftpAddress> parseSftpAddress(std::string_view text, std::uint32_t& error) {
    if (!isSftpAddress(text)) {
        error = error::kUnrecognizedScheme;
        return std::nullopt;
    }
    if (!isSendable(text)) {
        error = error::kInvalidParameter;
        return std::nullopt;
    }
    text.remove_prefix(kScheme.size());
    SftpAddress address;
    const std::size_t slash = text.find('/');
    std::string_view authority = text.substr(0, slash);
    if (slash != std::string_view::npos) {
        std::string_view path = text.substr(slash);
        if (path == "/~" || path.starts_with("/~/")) {
            path.remove_prefix(1);
        }
        while (path.size() > 1 && path.back() == '/') {
            path.remove_suffix(1);
        }
        address.folder = std::string(path);
    }
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        address.user = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
        if (address.user.empty()) {
            error = error::kInvalidParameter;
            return std::nullopt;
        }
    }
    const std::optional<Endpoint> endpoint = parseEndpoint(authority, kDefaultSshPort, error);
    if (!endpoint) {
        return std::nullopt;
    }
    address.host = endpoint->host;
    address.port = endpoint->port;
    return address;
}

// A full path as a URL path: each name percent-encoded, "/" between them, and a "/" at the
// end of a folder, which libcurl then lists.
std::string sftpUrlPath(std::string_view path, bool folder) {
    std::string out = percentEncodePath(path);
    if (folder && (out.empty() || out.back() != '/')) {
        out += '/';
    }
    return out.starts_with("/") ? out : "/" + out;
}

// A path as one argument of libcurl's SFTP commands: in double quotes, with "\" and '"'
// escaped, so that blanks and quotes stay part of the name.
std::string sftpArgument(std::string_view path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

}  // namespace varnox::ftp
