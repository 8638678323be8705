// trust for an SFTP server: its host key, shown as ssh shows it and added to known_hosts as
// ssh adds it. A key that differs from the one known for the server is never trusted here.
#include "ftp/errors.h"
#include "redirect/trust.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

bool Commands::trustHostKey(const ServerSetup& setup) {
    const std::string file = setup.knownHostsFile.string();
    std::string server = setup.login.server;
    HostKeyQuestion question(
        options_.fingerprint,
        [&](const ftp::HostKey& key) {
            server = key.knownName();
            out_.print({Line::Kind::kResult,
                        "host key of " + server,
                        {{"event", std::string("host-key")},
                         {"server", server},
                         {"type", key.shownType()},
                         {"sha256", key.fingerprint()}}},
                       {"  " + key.shownType() + " key fingerprint: " + key.fingerprint()});
        },
        askOnTerminal("host key", server));
    RedirectServer connection(setup, {}, [&](const ftp::HostKey& key) { return question(key); });
    const std::optional<Failure> connectFailure = connectToTrust(connection);
    const auto refused = [&](const std::string& why) {
        failed(InternetFailure(ftp::error::kInvalidCa, "The host key of " + server + why));
        return false;
    };
    using Outcome = HostKeyQuestion::Outcome;
    switch (question.outcome()) {
        case Outcome::kNotAsked:
            if (connectFailure) {
                failed(*connectFailure);  // a key that changed says so here
                return false;
            }
            out_.print(
                {Line::Kind::kResult,
                 "The host key of " + setup.login.server + " is known already; nothing changed",
                 {{"event", std::string("already-trusted")}, {"server", setup.login.server}}});
            return true;
        case Outcome::kAccepted:
            if (ftp::KnownHosts(setup.knownHostsFile).check(*question.key()).verdict !=
                ftp::KnownHosts::Verdict::kKnown) {
                failed(connectFailure.value_or(InternetFailure(
                    ftp::error::kInternalError,
                    "The host key of " + server + " could not be added to " + file)));
                return false;
            }
            out_.print({Line::Kind::kResult,
                        "trusted  the host key of " + server + " (added to " + file + ")",
                        {{"event", std::string("trusted")},
                         {"server", server},
                         {"sha256", question.key()->fingerprint()},
                         {"file", file}}});
            if (connectFailure) {
                failed(*connectFailure);
            }
            return !connectFailure;
        case Outcome::kMismatch:
            return refused(" has the fingerprint " + question.key()->fingerprint() +
                           ", not the one given: nothing was trusted");
        case Outcome::kRefused:
            return refused(" was not trusted");
        case Outcome::kNoTerminal:
            return refused(
                " was not trusted: there is no terminal to ask on. Check its "
                "fingerprint above with the server's administrator and give it with "
                "--fingerprint SHA256:...");
    }
    return false;
}

}  // namespace varnox::redirect
