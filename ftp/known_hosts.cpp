#include "ftp/known_hosts.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/failure.h"
#include "platform/files.h"
#include "platform/wildcard.h"

namespace varnox::ftp {

namespace {

constexpr std::size_t kSaltBytes = 20;  // SHA-1's size, as ssh makes its salts

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::optional<std::string> fromBase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0 || text.size() > (1u << 20)) {
        return std::nullopt;
    }
    std::string out(text.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0) {
        return std::nullopt;
    }
    // EVP_DecodeBlock counts the padding as bytes.
    out.resize(static_cast<std::size_t>(length) -
               static_cast<std::size_t>(std::count(text.end() - 2, text.end(), '=')));
    return out;
}

std::string hmacSha1(std::string_view key, std::string_view text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha1(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, &length);
    return std::string(reinterpret_cast<char*>(digest), length);
}

// The first string of SSH's wire form: four bytes of length, then the bytes.
std::string firstString(std::string_view blob) {
    if (blob.size() < 4) {
        return {};
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(blob[i]));
    };
    const std::uint32_t length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    return length <= blob.size() - 4 ? std::string(blob.substr(4, length)) : std::string();
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool hashedMatch(std::string_view pattern, const std::string& name) {
    pattern.remove_prefix(3);  // "|1|"
    const std::size_t bar = pattern.find('|');
    if (bar == std::string_view::npos) {
        return false;
    }
    const std::optional<std::string> salt = fromBase64(pattern.substr(0, bar));
    const std::optional<std::string> hash = fromBase64(pattern.substr(bar + 1));
    return salt && hash && hmacSha1(*salt, name) == *hash;
}

// Whether a line's comma-separated patterns take in the name; one exception ("!pattern") that
// matches rules the line out.
bool namesServer(std::string_view patterns, const std::string& name) {
    bool matched = false;
    while (!patterns.empty()) {
        const std::size_t comma = patterns.find(',');
        std::string_view pattern = patterns.substr(0, comma);
        patterns.remove_prefix(comma == std::string_view::npos ? patterns.size() : comma + 1);
        if (pattern.starts_with("|1|")) {
            matched = matched || hashedMatch(pattern, name);
            continue;
        }
        const bool exception = pattern.starts_with("!");
        if (exception) {
            pattern.remove_prefix(1);
        }
        if (platform::wildcardMatches(lowered(pattern), name,
                                      [](char a, char b) { return a == b; })) {
            if (exception) {
                return false;
            }
            matched = true;
        }
    }
    return matched;
}

// The next word of a line, taken off its front.
std::string_view word(std::string_view& line) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const std::size_t end = line.find_first_of(" \t");
    const std::string_view found = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return found;
}

// How ssh ranks key types when it may choose: the lower, the sooner.
int preference(const std::string& type) {
    static constexpr std::array<const char*, 5> kOrder = {"ssh-ed25519", "ecdsa-sha2-nistp256",
                                                          "ecdsa-sha2-nistp384",
                                                          "ecdsa-sha2-nistp521", "ssh-rsa"};
    const auto at = std::find(kOrder.begin(), kOrder.end(), type);
    return static_cast<int>(at - kOrder.begin());
}

}  // namespace

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

std::string HostKey::type() const {
    return firstString(blob);
}

std::string HostKey::fingerprint() const {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(blob.data(), blob.size(), digest, &length, EVP_sha256(), nullptr);
    std::string text = base64(std::string_view(reinterpret_cast<char*>(digest), length));
    while (!text.empty() && text.back() == '=') {
        text.pop_back();
    }
    return "SHA256:" + text;
}

std::string HostKey::shownType() const {
    const std::string name = type();
    if (name == "ssh-ed25519") {
        return "ED25519";
    }
    if (name.starts_with("ecdsa-")) {
        return "ECDSA";
    }
    if (name == "ssh-rsa") {
        return "RSA";
    }
    if (name == "ssh-dss") {
        return "DSA";
    }
    return name;
}

std::string HostKey::knownName() const {
    std::string bare = lowered(host);
    if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') {
        bare = bare.substr(1, bare.size() - 2);
    }
    return port == 22 ? bare : "[" + bare + "]:" + std::to_string(port);
}

std::string hostKeyQuestionText(const std::string& server, const HostKey& key,
                                const std::filesystem::path& file) {
    return "The host key of " + server + " is not known.\n\n" + key.shownType() +
           " key fingerprint: " + key.fingerprint() +
           "\n\nCompare it with the fingerprint the server's administrator gives you. Trust "
           "this key for this server from now on? It is then added to " +
           file.string() + ".";
}

std::filesystem::path KnownHosts::userFile() {
    return homeFolder() / ".ssh" / "known_hosts";
}

std::vector<KnownHosts::Entry> KnownHosts::entriesFor(const std::string& host,
                                                      std::uint16_t port) const {
    const std::string name = HostKey{host, port, {}}.knownName();
    std::vector<Entry> entries;
    for (const std::filesystem::path& file : {file_, systemFile_}) {
        const std::optional<std::string> text = platform::readWholeFile(file);
        std::string_view rest = text ? std::string_view(*text) : std::string_view();
        for (std::size_t number = 1; !rest.empty(); ++number) {
            const std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
            std::string_view first = word(line);
            const bool revoked = first == "@revoked";
            if (first.starts_with("@") && !revoked) {
                continue;  // "@cert-authority": certificates are not used here
            }
            const std::string_view patterns = revoked ? word(line) : first;
            word(line);  // the type: the key's own bytes name it
            std::string_view encoded = word(line);
            if (encoded.ends_with("\r")) {
                encoded.remove_suffix(1);
            }
            if (patterns.empty() || patterns.starts_with("#") || !namesServer(patterns, name)) {
                continue;
            }
            if (std::optional<std::string> blob = fromBase64(encoded);
                blob && !firstString(*blob).empty()) {
                entries.push_back({revoked, std::move(*blob), file, number});
            }
        }
    }
    return entries;
}

KnownHosts::Check KnownHosts::check(const HostKey& key) const {
    const std::string type = key.type();
    Check result;
    for (const Entry& entry : entriesFor(key.host, key.port)) {
        if (entry.blob == key.blob && entry.revoked) {
            return {Verdict::kRevoked, entry.file, entry.line};
        }
        if (entry.revoked) {
            continue;
        }
        if (entry.blob == key.blob) {
            result = {Verdict::kKnown, {}, 0};
        } else if (firstString(entry.blob) == type && result.verdict == Verdict::kUnknown) {
            result = {Verdict::kChanged, entry.file, entry.line};
        }
    }
    return result;
}

std::vector<std::string> KnownHosts::knownKeys(const std::string& host, std::uint16_t port) const {
    std::vector<Entry> entries = entriesFor(host, port);
    std::erase_if(entries, [](const Entry& entry) { return entry.revoked; });
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return preference(firstString(a.blob)) < preference(firstString(b.blob));
    });
    std::vector<std::string> keys;
    for (const Entry& entry : entries) {
        keys.push_back(firstString(entry.blob) + " " + base64(entry.blob));
    }
    return keys;
}

void KnownHosts::add(const HostKey& key) const {
    const std::string type = key.type();
    const auto fail = [&](int number, const std::string& why) {
        throw Failure(number, "Cannot add the host key of " + key.knownName() + " to " +
                                  file_.string() + ": " + why);
    };
    if (type.empty()) {
        fail(failure::kInvalidValue, "the server's key names no type");
    }
    std::string salt(kSaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), static_cast<int>(kSaltBytes)) !=
        1) {
        fail(failure::kInternalError, "no random bytes for its salt");
    }
    std::string line = "|1|" + base64(salt) + "|" + base64(hmacSha1(salt, key.knownName())) + " " +
                       type + " " + base64(key.blob) + "\n";
    platform::createFolderFor(file_);
    const int fd = ::open(file_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        fail(failure::kPermissionDenied, std::strerror(errno));
    }
    // A last line without its line end gets one first, so the two stay apart.
    char last = '\n';
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size > 0 && ::pread(fd, &last, 1, size - 1) == 1 && last != '\n') {
        line.insert(0, "\n");
    }
    int problem = platform::writeAll(fd, line.data(), line.size());
    if (problem == 0 && ::fsync(fd) != 0) {
        problem = errno;
    }
    ::close(fd);
    if (problem != 0) {
        fail(problem == ENOSPC ? failure::kDiskFull : failure::kPathFileAccessError,
             std::strerror(problem));
    }
}

}  // namespace varnox::ftp
