#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ftp/known_hosts.h"
#include "ftp/tls.h"

// Trusting a server's certificate, or an SFTP server's host key, from a terminal or a script,
// without the windows.
namespace varnox::redirect {

// "AB:CD:..." in capitals, from a SHA-256 fingerprint written with or without colons, in
// either case; nothing when the text is not 32 bytes in hexadecimal.
std::optional<std::string> normalFingerprint(const std::string& text);

// The answer to the transport's question about a certificate that neither verifies nor is
// trusted already: with a fingerprint, yes exactly when the certificate has it; otherwise the
// person is asked, when there is a terminal to ask on.
class CertificateQuestion {
public:
    enum class Outcome {
        kNotAsked,    // the certificate passed without a question
        kAccepted,    // it matched the fingerprint, or the person said yes
        kMismatch,    // it has another fingerprint than the one given
        kRefused,     // the person said no
        kNoTerminal,  // no fingerprint, and nobody to ask
    };
    // Shows the certificate, before anything is decided.
    using Show = std::function<void(const ftp::Certificate&, bool changed)>;
    // Asks the person; empty when there is no terminal.
    using Ask = std::function<bool()>;

    CertificateQuestion(std::optional<std::string> fingerprint, Show show, Ask ask)
        : fingerprint_(std::move(fingerprint)), show_(std::move(show)), ask_(std::move(ask)) {}

    // The transport's TrustQuestion.
    bool operator()(const ftp::Certificate& certificate, bool changed);

    Outcome outcome() const { return outcome_; }
    const std::optional<ftp::Certificate>& certificate() const { return certificate_; }

private:
    std::optional<std::string> fingerprint_;
    Show show_;
    Ask ask_;
    Outcome outcome_ = Outcome::kNotAsked;
    std::optional<ftp::Certificate> certificate_;
};

// The answer to the transport's question about an SFTP server's host key that no known_hosts
// file knows, as CertificateQuestion answers for certificates. A fingerprint is compared as
// ssh prints it, "SHA256:" and base64, the "SHA256:" and any "=" at the end left out or not.
class HostKeyQuestion {
public:
    using Outcome = CertificateQuestion::Outcome;
    using Show = std::function<void(const ftp::HostKey&)>;
    using Ask = std::function<bool()>;

    HostKeyQuestion(std::optional<std::string> fingerprint, Show show, Ask ask)
        : fingerprint_(std::move(fingerprint)), show_(std::move(show)), ask_(std::move(ask)) {}

    // The transport's HostKeyQuestion.
    bool operator()(const ftp::HostKey& key);

    Outcome outcome() const { return outcome_; }
    const std::optional<ftp::HostKey>& key() const { return key_; }

private:
    std::optional<std::string> fingerprint_;
    Show show_;
    Ask ask_;
    Outcome outcome_ = Outcome::kNotAsked;
    std::optional<ftp::HostKey> key_;
};

}  // namespace varnox::redirect
