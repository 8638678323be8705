#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Server names and gateway (proxy) texts as users type them.
namespace varnox::ftp {

constexpr std::uint16_t kDefaultFtpPort = 21;
constexpr std::uint16_t kDefaultImplicitTlsPort = 990;

// How a connection is protected: plain FTP; TLS asked for on the FTP port (AUTH TLS, a
// server name "ftpes://..."); TLS from the first byte ("ftps://...", port 990 by default).
enum class Security { kNone, kExplicitTls, kImplicitTls };

// A host and a port to connect to. host is a name, an IPv4 address or an IPv6 address in
// brackets ("[::1]"), ready to stand in a URL.
struct Endpoint {
    std::string host;
    std::uint16_t port = kDefaultFtpPort;
    Security security = Security::kNone;

    bool operator==(const Endpoint&) const = default;
};

// Reads "host", "host:port", "[v6]" or "[v6]:port"; an "ftp://", "ftpes://" or "ftps://"
// in front and a "/" at the end are allowed. Without a port in the text, defaultPort is used
// (0 meaning 21, or 990 for "ftps://"). On failure returns nothing and sets error:
// kInvalidParameter for empty text, control bytes or a bad port, kUnrecognizedScheme for
// another scheme ("http://..."), kNameNotResolved for a host that no resolver could find
// (blanks, "@", "/" and the like).
std::optional<Endpoint> parseEndpoint(std::string_view text, std::uint16_t defaultPort,
                                      std::uint32_t& error);

// The user name a TIS-style gateway expects: "user@host", or "user@host:port" when the
// server listens elsewhere than 21.
std::string gatewayUser(std::string_view user, const Endpoint& server);

}  // namespace varnox::ftp
