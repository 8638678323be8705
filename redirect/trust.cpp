#include "redirect/trust.h"

#include <cctype>

namespace varnox::redirect {

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
    if (fingerprint_) {
        const bool same = normalFingerprint(certificate.sha256) == normalFingerprint(*fingerprint_);
        outcome_ = same ? Outcome::kAccepted : Outcome::kMismatch;
    } else if (!ask_) {
        outcome_ = Outcome::kNoTerminal;
    } else {
        outcome_ = ask_() ? Outcome::kAccepted : Outcome::kRefused;
    }
    return outcome_ == Outcome::kAccepted;
}

namespace {

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

bool HostKeyQuestion::operator()(const ftp::HostKey& key) {
    key_ = key;
    show_(key);
    if (fingerprint_) {
        const bool same =
            bareHostKeyFingerprint(key.fingerprint()) == bareHostKeyFingerprint(*fingerprint_);
        outcome_ = same ? Outcome::kAccepted : Outcome::kMismatch;
    } else if (!ask_) {
        outcome_ = Outcome::kNoTerminal;
    } else {
        outcome_ = ask_() ? Outcome::kAccepted : Outcome::kRefused;
    }
    return outcome_ == Outcome::kAccepted;
}

}  // namespace varnox::redirect
