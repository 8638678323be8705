// trust: a server's certificate trusted from a terminal or a script, kept where the FTP window
// keeps the certificates it was told to trust.
#include <unistd.h>

#include <iostream>

#include "ftp/address.h"
#include "ftp/errors.h"
#include "ftp/sftp_address.h"
#include "redirect/folder_target.h"
#include "redirect/trust.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

std::function<bool()> Commands::askOnTerminal(const std::string& what, const std::string& server) {
    if (options_.fingerprint || ::isatty(STDIN_FILENO) != 1) {
        return {};
    }
    return [this, what, &server] {
        out_.prompt("Trust this " + what + " for " + server + " from now on? [y/N] ");
        std::string answer;
        std::getline(std::cin, answer);
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
    };
}

std::optional<Failure> Commands::connectToTrust(RedirectServer& connection) {
    const Watching watching(*this, connection);
    try {
        connection.connect();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

bool Commands::trust() {
    const ServerSetup setup = setup_->server();
    if (isFileUrl(setup.login.server)) {
        throw Failure(failure::kInvalidValue,
                      setup.login.server +
                          " is a folder on this machine, with no certificate or host key to trust");
    }
    if (ftp::isSftpAddress(setup.login.server)) {
        return trustHostKey(setup);
    }
    std::uint32_t error = 0;
    const std::optional<ftp::Endpoint> endpoint = ftp::parseEndpoint(setup.login.server, 0, error);
    if (endpoint && endpoint->security == ftp::Security::kNone) {
        throw InternetFailure(ftp::error::kInvalidParameter,
                              setup.login.server +
                                  " is a plain FTP server, with no certificate to " +
                                  "trust; name it ftpes://HOST[:PORT] or ftps://HOST[:PORT]");
    }
    const std::string server =
        endpoint ? endpoint->host + ":" + std::to_string(endpoint->port) : setup.login.server;
    CertificateQuestion question(
        options_.fingerprint,
        [&](const ftp::Certificate& c, bool changed) {
            out_.print({Line::Kind::kResult,
                        "certificate of " + server +
                            (changed ? " (another one was trusted for it before)" : ""),
                        {{"event", std::string("certificate")},
                         {"server", server},
                         {"subject", c.subject},
                         {"issuer", c.issuer},
                         {"valid_from", c.validFrom},
                         {"valid_until", c.validUntil},
                         {"sha256", c.sha256},
                         {"changed", changed}}},
                       {"  subject:  " + c.subject, "  issuer:   " + c.issuer,
                        "  valid:    from " + c.validFrom + " until " + c.validUntil,
                        "  SHA-256:  " + c.sha256});
        },
        askOnTerminal("certificate", server));
    RedirectServer connection(
        setup, [&](const ftp::Certificate& c, bool changed) { return question(c, changed); });
    const std::optional<Failure> connectFailure = connectToTrust(connection);
    using Outcome = CertificateQuestion::Outcome;
    const std::string file = setup.trustedFile.string();
    switch (question.outcome()) {
        case Outcome::kNotAsked:
            if (connectFailure) {
                failed(*connectFailure);
                return false;
            }
            out_.print({Line::Kind::kResult,
                        "The certificate of " + server +
                            " verifies or is trusted already; nothing changed",
                        {{"event", std::string("already-trusted")}, {"server", server}}});
            return true;
        case Outcome::kAccepted:
            out_.print({Line::Kind::kResult,
                        "trusted  the certificate of " + server + " (kept in " + file + ")",
                        {{"event", std::string("trusted")},
                         {"server", server},
                         {"sha256", question.certificate()->sha256},
                         {"file", file}}});
            if (connectFailure) {
                failed(*connectFailure);
            }
            return !connectFailure;
        case Outcome::kMismatch:
            failed(InternetFailure(ftp::error::kInvalidCa,
                                   "The certificate of " + server +
                                       " has the SHA-256 fingerprint " +
                                       question.certificate()->sha256 +
                                       ", not the one given: " + "nothing was trusted"));
            return false;
        case Outcome::kRefused:
            failed(InternetFailure(ftp::error::kInvalidCa,
                                   "The certificate of " + server + " was not trusted"));
            return false;
        case Outcome::kNoTerminal:
            failed(InternetFailure(
                ftp::error::kInvalidCa,
                "The certificate of " + server + " was not trusted: there is no " +
                    "terminal to ask on. Check its fingerprint above with the " +
                    "server's administrator and give it with --fingerprint SHA256"));
            return false;
    }
    return false;
}

}  // namespace varnox::redirect
