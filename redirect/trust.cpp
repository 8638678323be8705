#include "redirect/trust.h"

#include <cctype>

namespace varnox::redirect {

namespace {

// The answer once the key or certificate was shown: with a fingerprint given, whether it
// matched; otherwise the person's, when there is a terminal to ask on.
CertificateQuestion::Outcome decide(bool matches, bool fingerprintGiven,
                                    const CertificateQuestion::Ask& ask) {
    using Outcome = CertificateQuestion::Outcome;
    if (fingerprintGiven) {
        return matches ? Outcome::kAccepted : Outcome::kMismatch;
    }
    if (!ask) {
        return Outcome::kNoTerminal;
    }
    return ask() ? Outcome::kAccepted : Outcome::kRefused;
}

std::string bareHostKeyFingerprint(std::string text) {
    if (text.starts_with("SHA256:")) {
        text.erase(0, 7);
    }
    while (!text.empty() && text.back() == '=') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::optional<std::string> normalFingerprint(const std::string& text) {
    std::string hex;
    for (const char c : text) {
        if (c == ':') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (hex.size() != 64) {
        return std::nullopt;
    }
    std::string normal;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        normal += (i > 0 ? ":" : "") + hex.substr(i, 2);
    }
    return normal;
}

bool CertificateQuestion::operator()(const ftp::Certificate& certificate, bool changed) {
    certificate_ = certificate;
    show_(certificate, changed);
    outcome_ = decide(fingerprint_.has_value() &&
                          normalFingerprint(certificate.sha256) == normalFingerprint(*fingerprint_),
                      fingerprint_.has_value(), ask_);
    return outcome_ == Outcome::kAccepted;
}

bool HostKeyQuestion::operator()(const ftp::HostKey& key) {
    key_ = key;
    show_(key);
    outcome_ = decide(fingerprint_.has_value() && bareHostKeyFingerprint(key.fingerprint()) ==
                                                      bareHostKeyFingerprint(*fingerprint_),
                      fingerprint_.has_value(), ask_);
    return outcome_ == Outcome::kAccepted;
}

}  // namespace varnox::redirect
