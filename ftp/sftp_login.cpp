// Logging in to an SFTP server: its host key checked against the known_hosts files (or the
// user asked), then the keys and the password offered one login at a time.
#include <curl/curl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "ftp/errors.h"
#include "ftp/remote_path.h"
#include "ftp/sftp_connection.h"
#include "platform/failure.h"
#include "platform/files.h"

namespace varnox::ftp {

namespace {

// The keys ssh offers when none is named, in its order.
std::vector<std::filesystem::path> defaultKeys() {
    std::vector<std::filesystem::path> keys;
    for (const char* name : {"id_rsa", "id_ecdsa", "id_ed25519"}) {
        const std::filesystem::path key = homeFolder() / ".ssh" / name;
        if (platform::ordinaryFileExists(key)) {
            keys.push_back(key);
        }
    }
    return keys;
}

}  // namespace

int SftpConnection::checkHostKey(std::string_view blob) noexcept {
    try {
        const HostKey key{settings_.address.host, settings_.address.port, std::string(blob)};
        if (!acceptedKey_.empty() && acceptedKey_ == key.blob) {
            return CURLKHMATCH_OK;  // a new login of this connection
        }
        const KnownHosts::Check check = settings_.knownHosts != nullptr
                                            ? settings_.knownHosts->check(key)
                                            : KnownHosts::Check{};
        const std::string shown = key.shownType() + " key " + key.fingerprint();
        switch (check.verdict) {
            case KnownHosts::Verdict::kKnown:
                acceptedKey_ = key.blob;
                return CURLKHMATCH_OK;
            case KnownHosts::Verdict::kChanged:
            case KnownHosts::Verdict::kRevoked:
                keyProblem_ = error::kHostKeyChanged;
                detail_ = "The host key of " + key.knownName() +
                          (check.verdict == KnownHosts::Verdict::kRevoked
                               ? " is revoked in " + check.file.string() + " (line " +
                                     std::to_string(check.line) + "): " + shown
                               : " has CHANGED: it is not the key recorded for it in " +
                                     check.file.string() + " (line " + std::to_string(check.line) +
                                     "), but " + shown) +
                          ". Someone may be listening in, or the server was set up anew; nothing "
                          "was sent. Only when its administrator confirms the new key, remove "
                          "the old one with: ssh-keygen -R '" +
                          key.knownName() + "' -f " + check.file.string();
                return CURLKHMATCH_MISMATCH;
            case KnownHosts::Verdict::kUnknown:
                break;
        }
        keyProblem_ = error::kInvalidCa;
        if (!settings_.askToTrust) {
            detail_ = "The host key of " + key.knownName() + " is not known: " + shown;
            return CURLKHMATCH_MISMATCH;
        }
        const bool trusted = settings_.askToTrust(key);
        // The time the user took counts neither against the stall rule nor, by a new try,
        // against the time to connect (open()).
        stall_.start(StallWatch::Clock::now());
        askedNow_ = true;
        if (!trusted) {
            return CURLKHMATCH_MISMATCH;
        }
        if (settings_.knownHosts != nullptr) {
            settings_.knownHosts->add(key);
        }
        keyProblem_.reset();
        acceptedKey_ = key.blob;
        return CURLKHMATCH_OK;
    } catch (const Failure& failure) {
        keyProblem_ = error::kAccessDenied;
        detail_ = failure.description();
    } catch (const std::bad_alloc&) {
        keyProblem_ = error::kNotEnoughMemory;
    } catch (...) {
        keyProblem_ = error::kInternalError;
    }
    return CURLKHMATCH_MISMATCH;
}

void SftpConnection::preferKnownTypes() {
    // libcurl takes the key type to ask the server for from a known_hosts file it is given;
    // without one it would take libssh2's first choice, which the files may not know.
    if (settings_.knownHosts == nullptr || knownTypes_ >= 0) {
        return;
    }
    const std::vector<std::string> keys =
        settings_.knownHosts->knownKeys(settings_.address.host, settings_.address.port);
    if (keys.empty()) {
        return;
    }
    const std::string name =
        HostKey{settings_.address.host, settings_.address.port, {}}.knownName();
    std::string lines;
    for (const std::string& key : keys) {
        lines += name + " " + key + "\n";
    }
    knownTypes_ = ::memfd_create("varnox-known-types", MFD_CLOEXEC);
    if (knownTypes_ < 0 || platform::writeAll(knownTypes_, lines.data(), lines.size()) != 0) {
        return;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(knownTypes_);
    if (::access(path.c_str(), R_OK) == 0) {
        curl_easy_setopt(curl_, CURLOPT_SSH_KNOWNHOSTS, path.c_str());
    }
}
std::uint32_t SftpConnection::open() {
    begin();
    if (curl_ == nullptr) {
        return error::kInternalError;
    }
    if (!settings_.identity.empty() && !platform::ordinaryFileExists(settings_.identity)) {
        detail_ = "There is no key file " + settings_.identity.string();
        return error::kFileNotFound;
    }
    preferKnownTypes();
    const bool password = !settings_.password.empty();
    std::vector<Login> logins;
    if (!settings_.identity.empty()) {
        logins.push_back({settings_.identity, false, password});
    } else {
        const std::vector<std::filesystem::path> keys = defaultKeys();
        const char* agent = std::getenv("SSH_AUTH_SOCK");
        logins.push_back({keys.empty() ? std::filesystem::path() : keys.front(),
                          agent != nullptr && agent[0] != '\0', password});
        for (std::size_t i = 1; i < keys.size(); ++i) {
            logins.push_back({keys[i], false, false});
        }
    }
    std::uint32_t result = error::kLoginFailure;
    std::string offered;
    for (const Login& login : logins) {
        askedNow_ = false;
        result = tryLogin(login);
        if (result == error::kTimeout && askedNow_) {
            result = tryLogin(login);  // the key is known now
        }
        if (!login.key.empty()) {
            offered += (offered.empty() ? "the key " : ", the key ") + login.key.string();
        }
        if (result != error::kLoginFailure) {
            break;
        }
    }
    if (result == error::kLoginFailure) {
        offered += std::string(logins.front().agent ? ", the keys of ssh-agent" : "") +
                   (password ? ", the password" : "");
        detail_ = offered.empty()
                      ? "Nothing to log in to " + settings_.address.host + " as " + settings_.user +
                            " with: no key in " + (homeFolder() / ".ssh").string() +
                            ", no ssh-agent and no password"
                      : settings_.address.host + " refused the login as " + settings_.user +
                            " with " + offered.substr(offered.starts_with(", ") ? 2 : 0);
    }
    if (result != error::kSuccess) {
        return result;
    }
    char* entry = nullptr;
    directory_ = "/";
    if (curl_easy_getinfo(curl_, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry != nullptr &&
        entry[0] == '/') {
        directory_ = entry;
    }
    // "~" and "~/..." are taken from the login folder.
    const std::string& folder = settings_.address.folder;
    const std::string fromHome = folder.starts_with("~/") ? folder.substr(2) : std::string();
    start_ = folder.empty() || folder == "~" ? directory_
             : folder.starts_with("~/")      ? changedDirectory(directory_, fromHome)
                                             : folder;
    if (start_ == directory_) {
        return error::kSuccess;
    }
    result = enter(start_);
    if (result != error::kSuccess) {
        detail_ = "Cannot open the folder " + start_ + " on " + settings_.address.host;
    }
    return result;
}

}  // namespace varnox::ftp
