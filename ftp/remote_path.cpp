#include "ftp/remote_path.h"

#include <cctype>

namespace varnox::ftp {
namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string changedDirectory(std::string_view current, std::string_view requested) {
    // A backslash is an ordinary byte of a name on the servers this talks to, not a
    // separator.
    std::string request(requested);
    if (!request.empty() && request.front() == '/') {
        return withoutTrailingSlashes(request);
    }
    return withoutTrailingSlashes(childPath(current, request));
}

std::string childPath(std::string_view directory, std::string_view name) {
    if (directory.empty() || (!name.empty() && name.front() == '/')) {
        return std::string(name);
    }
    std::string path(directory);
    if (path.back() != '/') {
        path += '/';
    }
    return path + std::string(name);
}

std::string percentEncode(std::string_view component) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(component.size());
    for (unsigned char c : component) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string percentEncodePath(std::string_view path) {
    std::string out;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        out += percentEncode(path.substr(0, slash));
        if (slash == std::string_view::npos) {
            break;
        }
        out += '/';
        path.remove_prefix(slash + 1);
    }
    return out;
}

std::string directoryUrlPath(std::string_view directory) {
    if (directory.empty()) {
        return {};
    }
    std::string out;
    if (directory.front() == '/') {
        // "%2F" makes libcurl start its CWD at the root instead of the login directory.
        out = "%2F";
        directory.remove_prefix(1);
    }
    out += percentEncodePath(directory);
    if (out.empty() || out.back() != '/') {
        out += '/';
    }
    return out;
}

std::string fileUrlPath(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return percentEncode(path);
    }
    std::string_view directory = slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    return directoryUrlPath(directory) + percentEncode(path.substr(slash + 1));
}

}  // namespace varnox::ftp
