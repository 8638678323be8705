#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "ftp/errors.h"
#include "settings/trusted_servers.h"

// Checking a server's TLS certificate: against the system's trust store and the server's
// name first; a certificate that does not pass is shown to the user, who may trust that
// exact certificate for that server from then on.
namespace varnox::ftp {

// What the user is shown of a certificate.
struct Certificate {
    std::string subject;
    std::string issuer;
    std::string validFrom;
    std::string validUntil;
    std::string sha256;  // of the certificate, as "AB:CD:..."
};

// A certificate name as the user is shown it, from OpenSSL's one-line UTF-8 form, where
// OpenSSL has already escaped the control characters below 0x80 ("\0A"). The characters that
// would still let the name fake a line break or turn the text around it (the C1 controls,
// U+2028, U+2029 and the bidirectional controls) are escaped too, as "\U2028".
std::string escapeLayoutControls(std::string_view text);

// Asked when a certificate does not pass: true to trust it. `changed` says another
// certificate was trusted for this server before.
using TrustQuestion = std::function<bool(const Certificate& certificate, bool changed)>;

// The check of one connection's certificates, fed to libcurl's OpenSSL context.
class TlsCheck {
public:
    TlsCheck(std::string host, std::string server, settings::TrustedServers* trusted,
             TrustQuestion ask)
        : host_(std::move(host)),
          server_(std::move(server)),
          trusted_(trusted),
          ask_(std::move(ask)) {}

    // For CURLOPT_SSL_CTX_FUNCTION: verifies every handshake through verify().
    static int installOn(void* curl, void* sslContext, void* self);

    // Whether the user refused a certificate since the last time this was asked (no call
    // went past that handshake).
    bool takeRefused() { return std::exchange(refused_, false); }
    // Why a handshake failed on this side since the last time this was asked: the file of
    // trusted certificates could not be used for a certificate that needed it, or the check
    // itself failed.
    std::optional<LocalProblem> takeProblem() { return std::exchange(problem_, std::nullopt); }

private:
    // Never throws: OpenSSL calls it inside the handshake.
    bool verify(void* storeContext) noexcept;
    bool check(void* storeContext);

    std::string host_;
    std::string server_;  // "host:port", the key of trusted_servers.txt
    settings::TrustedServers* trusted_;
    TrustQuestion ask_;
    std::optional<std::string> acceptedNow_;
    bool refused_ = false;
    std::optional<LocalProblem> problem_;
};

}  // namespace varnox::ftp
