#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// An SFTP server's host key checked against OpenSSH's known_hosts files, the user's and the
// system's, and added to the user's once the user trusts it.
namespace varnox::ftp {

// A server's SSH host key, as the server sent it.
struct HostKey {
    std::string host;  // as in the server name: a name, an IPv4 address or "[v6]"
    std::uint16_t port = 22;
    std::string blob;  // the public key in SSH's wire form

    // The type its bytes name ("ssh-ed25519", "ecdsa-sha2-nistp256", "ssh-rsa"); empty when
    // they name none.
    std::string type() const;
    // "SHA256:" and the unpadded base64 of the key's SHA-256, as ssh prints fingerprints.
    std::string fingerprint() const;
    // The type as ssh shows it beside a fingerprint: "ED25519", "ECDSA", "RSA".
    std::string shownType() const;
    // How known_hosts names the server: "host" on port 22, "[host]:port" on any other.
    std::string knownName() const;
};

// The home folder of the user who runs the program: HOME, or the one the password database
// gives when HOME is not set.
std::filesystem::path homeFolder();

// Asked about a host key that no known_hosts file knows: true to trust it from then on. A
// key that differs from the one known for the server is never asked about.
using HostKeyQuestion = std::function<bool(const HostKey&)>;

// The question the FTP window asks about an unknown key of `server` (as the user typed it).
std::string hostKeyQuestionText(const std::string& server, const HostKey& key,
                                const std::filesystem::path& file);

// Lines are OpenSSH's: "[@marker] patterns type base64 [comment]", where patterns are host
// names with "*" and "?" and "!" for an exception, or hashed names ("|1|salt|hash"), and
// "@revoked" marks a key never to accept. Lines this cannot read are passed over, as ssh does.
class KnownHosts {
public:
    enum class Verdict {
        kKnown,    // a line of the server's names has this key
        kUnknown,  // no line of the server's names has a key of this type
        kChanged,  // lines of the server's names have keys of this type, none this key
        kRevoked,  // a "@revoked" line of the server's names has this key
    };
    struct Check {
        Verdict verdict = Verdict::kUnknown;
        // Where the key was revoked, or a line with the other key of this type is: the file
        // and the line, counted from 1.
        std::filesystem::path file;
        std::size_t line = 0;
    };

    // Keys are added to `file`; `systemFile` is read as well.
    explicit KnownHosts(std::filesystem::path file,
                        std::filesystem::path systemFile = "/etc/ssh/ssh_known_hosts")
        : file_(std::move(file)), systemFile_(std::move(systemFile)) {}

    // ~/.ssh/known_hosts of the user who runs the program (homeFolder()).
    static std::filesystem::path userFile();

    // Throws varnox::Failure naming a file that is there but cannot be read.
    Check check(const HostKey& key) const;
    // The keys known for the server, as "type base64" lines, the types ssh prefers first.
    std::vector<std::string> knownKeys(const std::string& host, std::uint16_t port) const;
    // Adds the key to the user's file under the server's hashed name, as ssh does on Debian.
    // Throws varnox::Failure naming the file when it cannot be written.
    void add(const HostKey& key) const;

    const std::filesystem::path& file() const { return file_; }

private:
    struct Entry {
        bool revoked = false;
        std::string blob;
        std::filesystem::path file;
        std::size_t line = 0;
    };
    // The lines of both files that name the server.
    std::vector<Entry> entriesFor(const std::string& host, std::uint16_t port) const;

    std::filesystem::path file_;
    std::filesystem::path systemFile_;
};

}  // namespace varnox::ftp
