#include "ftp/address.h"

#include <algorithm>
#include <cctype>

#include "ftp/errors.h"
#include "ftp/names.h"

namespace varnox::ftp {
namespace {

bool isHostByte(unsigned char c) {
    return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c >= 0x80;
}

bool isV6Byte(unsigned char c) {
    return std::isxdigit(c) || c == ':' || c == '.' || c == '%';
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return std::nullopt;
    }
    int value = std::stoi(std::string(text));
    if (value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<Endpoint> parseEndpoint(std::string_view text, std::uint16_t defaultPort,
                                      std::uint32_t& error) {
    if (text.empty() || !isSendable(text)) {
        error = error::kInvalidParameter;
        return std::nullopt;
    }
    Security security = Security::kNone;
    std::size_t scheme = text.find("://");
    if (scheme != std::string_view::npos) {
        std::string name;
        for (char c : text.substr(0, scheme)) {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (name == "ftpes") {
            security = Security::kExplicitTls;
        } else if (name == "ftps") {
            security = Security::kImplicitTls;
        } else if (name != "ftp") {
            error = error::kUnrecognizedScheme;
            return std::nullopt;
        }
        text.remove_prefix(scheme + 3);
    }
    if (!text.empty() && text.back() == '/') {
        text.remove_suffix(1);
    }

    Endpoint endpoint;
    endpoint.security = security;
    endpoint.port = defaultPort != 0                     ? defaultPort
                    : security == Security::kImplicitTls ? kDefaultImplicitTlsPort
                                                         : kDefaultFtpPort;
    std::string_view host = text;
    std::string_view port;
    bool bracketed = !text.empty() && text.front() == '[';
    if (bracketed) {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            error = error::kNameNotResolved;
            return std::nullopt;
        }
        host = text.substr(0, close + 1);
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                error = error::kNameNotResolved;
                return std::nullopt;
            }
            port = rest.substr(1);
            if (port.empty()) {
                error = error::kInvalidParameter;
                return std::nullopt;
            }
        }
    } else if (std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) {
            error = error::kInvalidParameter;
            return std::nullopt;
        }
    }

    std::string_view inner = bracketed ? host.substr(1, host.size() - 2) : host;
    bool hostOk = !inner.empty() && std::all_of(inner.begin(), inner.end(), [&](unsigned char c) {
        return bracketed ? isV6Byte(c) : isHostByte(c);
    });
    if (!hostOk) {
        error = error::kNameNotResolved;
        return std::nullopt;
    }
    if (!port.empty()) {
        auto value = parsePort(port);
        if (!value) {
            error = error::kInvalidParameter;
            return std::nullopt;
        }
        endpoint.port = *value;
    }
    endpoint.host = std::string(host);
    return endpoint;
}

std::string gatewayUser(std::string_view user, const Endpoint& server) {
    std::string text = std::string(user) + "@" + server.host;
    if (server.port != kDefaultFtpPort) {
        text += ":" + std::to_string(server.port);
    }
    return text;
}

}  // namespace varnox::ftp
