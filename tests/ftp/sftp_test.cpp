// SFTP: server names on their own, and the session against a real OpenSSH server on 127.0.0.1.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "ftp/errors.h"
#include "ftp/session.h"
#include "ftp/sftp_address.h"
#include "tests/support/files.h"
#include "tests/support/programs.h"
#include "tests/support/ssh_server.h"

namespace varnox::ftp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;
using test::runProgram;
using test::SshServer;
using test::writeFile;
using Names = std::set<std::string>;

// The user is all before the last "@", "~" is the login folder, a last "/" goes.
TEST(ParseSftpAddress, ReadsWhatUsersType) {
    std::uint32_t error = 0;
    EXPECT_EQ(parseSftpAddress("SFTP://a@b@[::1]:2222/~/my uz/", error),
              (SftpAddress{"a@b", "[::1]", 2222, "~/my uz"}));
    EXPECT_EQ(parseSftpAddress("sftp://@host", error), std::nullopt);
    EXPECT_EQ(error, error::kInvalidParameter);
}

// A session over a real sshd, in its folder root_; HOME is a temporary folder.
class SftpTest : public ::testing::Test {
protected:
    SftpTest() {
        fs::create_directories(root_);
        session_.checkHostKeys(&knownHosts_, {});
    }
    void serve(test::SshServerOptions options = {}) {
        server_.reset();
        server_ = std::make_unique<SshServer>(options);
        writeFile(home_.knownHosts(), server_->knownHostsLines());
    }
    CallResult connect(const std::string& folder, const fs::path& key, Session* session = nullptr) {
        Session& used = session != nullptr ? *session : session_;
        used.close();
        used.open("");
        return used.connect({server_->address(folder), "", "", true, key});
    }
    CallResult connect() { return connect(root_.string(), server_->userKey()); }
    Names names() {
        Listing listing;
        EXPECT_TRUE(session_.list(listing).ok());
        Names names;
        for (const FindData& entry : listing.entries) {
            names.insert(entry.name);
        }
        return names;
    }

    test::TemporaryHome home_;
    test::TempDir local_;
    fs::path root_ = local_ / "server";
    KnownHosts knownHosts_{home_.knownHosts(), home_ / "ssh_known_hosts"};
    std::unique_ptr<SshServer> server_;
    Session session_{Timeouts{10s, 10s, 4096}};  // a call stalls below 4 KiB a second
};

// Host keys as ssh judges them: known (by name, pattern or hash, of one of the server's types),
// unknown (asked about, and added hashed on a yes), changed or revoked (never asked about);
// and the keys that log in: the one named, the defaults in ~/.ssh, an ssh-agent's.
TEST_F(SftpTest, ChecksTheHostKeyAndLogsInWithAKey) {
    serve({.hostKeyTypes = {"ecdsa", "ed25519"}});  // libssh2 asks for ECDSA unless told
    const std::string known = server_->knownHostsLines();
    const std::string ecdsa = known.substr(0, known.find('\n') + 1),
                      ed25519 = known.substr(ecdsa.size());
    const std::string name = "[127.0.0.1]:" + std::to_string(server_->port());
    const std::string otherKey = SshServer({.hostKeyTypes = {"ecdsa"}}).knownHostsLines();
    const fs::path wrongKey = local_ / "wrong_key", hashed = local_ / "hashed";
    test::makeKey(wrongKey);
    writeFile(hashed, known);
    runProgram({"/usr/bin/ssh-keygen", "-q", "-H", "-f", hashed});
    std::vector<std::string> asked;
    bool answer = false;
    session_.checkHostKeys(&knownHosts_, [&](const HostKey& key) {
        asked.push_back(key.shownType() + " " + key.fingerprint());
        return answer;
    });
    enum Keys { kNamed, kWrong, kDefault, kAgent, kNone };
    const struct {
        std::string what;
        std::string knownHosts;  // "" leaves the file as the row before left it
        Keys keys;
        bool answer;
        std::uint32_t error;
        std::string detail;
    } rows[] = {
        {"unknown, refused", "# none\n", kNamed, false, error::kInvalidCa, ""},
        {"unknown, trusted", "# none\n", kNamed, true, 0, ""},
        {"trusted before", "", kNamed, false, 0, ""},
        {"hashed by ssh", readFile(hashed), kNamed, false, 0, ""},
        {"known by its other type", ed25519, kNamed, false, 0, ""},
        {"a pattern", "[127.0.0.?]:*" + ed25519.substr(name.size()), kNamed, false, 0, ""},
        {"an exception", "*,!" + ed25519, kNamed, false, error::kInvalidCa, ""},
        {"changed", name + otherKey.substr(otherKey.find(' ')), kNamed, true,
         error::kHostKeyChanged, "has CHANGED"},
        {"revoked", "@revoked " + ed25519 + known, kNamed, true, error::kHostKeyChanged,
         "is revoked"},
        {"wrong key", known, kWrong, false, error::kLoginFailure, "refused the login as"},
        {"key in ~/.ssh", known, kDefault, false, 0, ""},
        {"ssh-agent", known, kAgent, false, 0, ""},
        {"nothing to log in with", known, kNone, false, error::kLoginFailure, "Nothing to log in"},
    };
    for (const auto& row : rows) {
        if (!row.knownHosts.empty()) {
            writeFile(home_.knownHosts(), row.knownHosts);
        }
        fs::remove(home_ / ".ssh/id_ed25519");
        if (row.keys == kDefault) {
            fs::copy_file(server_->userKey(), home_ / ".ssh/id_ed25519");
        }
        pid_t agent = -1;
        if (row.keys == kAgent) {
            agent = test::startProgram("/usr/bin/ssh-agent", {"-D", "-a", home_ / "agent"});
            ASSERT_TRUE(test::eventually([&] { return fs::exists(home_ / "agent"); }));
            ::setenv("SSH_AUTH_SOCK", (home_ / "agent").c_str(), 1);
            runProgram({"/usr/bin/ssh-add", "-q", server_->userKey()});
        }
        answer = row.answer;
        asked.clear();
        const CallResult result = connect(root_.string(), row.keys == kNamed   ? server_->userKey()
                                                          : row.keys == kWrong ? wrongKey
                                                                               : fs::path());
        EXPECT_EQ(result.error, row.error) << row.what << ": " << result.detail;
        EXPECT_NE(result.detail.find(row.detail), std::string::npos) << row.what;
        if (row.what == "unknown, trusted") {  // hashed, as ssh writes it on Debian
            EXPECT_NE(runProgram({"/usr/bin/ssh-keygen", "-F", name, "-f", home_.knownHosts()})
                          .find("found: line 2"),
                      std::string::npos);
        }
        const bool unknown = row.what.starts_with("unknown") || row.what == "an exception";
        EXPECT_EQ(asked, unknown ? std::vector{"ECDSA " + server_->fingerprint()}
                                 : std::vector<std::string>{})
            << row.what;
        if (agent > 0) {
            ::kill(agent, SIGTERM);
            test::waitForProgram(agent);
            ::unsetenv("SSH_AUTH_SOCK");
        }
    }
    // The user may take longer over the question than a connect may take.
    Session patient(Timeouts{1s, 10s});
    patient.checkHostKeys(&knownHosts_, [](const HostKey&) {
        std::this_thread::sleep_for(1500ms);
        return true;
    });
    writeFile(home_.knownHosts(), "");
    EXPECT_TRUE(connect(root_.string(), server_->userKey(), &patient).ok());
}

// Every listing and transfer happens in the folder changed to, with names as they are on the
// server (blanks, quotes, URL characters, bytes that are not UTF-8), without "." and "..";
// the bytes arrive as they were, whatever the transfer type; an upload replaces a file of its
// name, which OpenSSH will not rename onto, so the old one goes first.
TEST_F(SftpTest, WorksInTheFolderItChangedTo) {
    const Names odd = {"My Map.unr", "a \"quoted\" name", "back\\slash", "a#b?50%", "lat\3511.utx"};
    for (const std::string& name : odd) {
        writeFile(root_ / "Sounds #1" / name, "content of " + name);
    }
    writeFile(root_ / "Maps/DM-Deck16.unr", "map");
    fs::create_directories(root_ / "Maps/uz");
    const Names maps = {"uz", "DM-Deck16.unr"};
    serve();
    ASSERT_TRUE(connect().ok());
    EXPECT_EQ(names(), (Names{"Maps", "Sounds #1"}));
    const std::pair<std::string, Names> steps[] = {
        {"Maps", maps}, {"uz", {}}, {"..", maps}, {root_ / "Sounds #1", odd}};
    for (const auto& [directory, listing] : steps) {
        ASSERT_TRUE(session_.changeDirectory(directory).ok()) << directory;
        EXPECT_EQ(names(), listing) << directory;
    }
    for (const char* refused : {"/no/such/folder", "../Maps/DM-Deck16.unr"}) {
        EXPECT_EQ(session_.changeDirectory(refused).error, error::kExtendedError) << refused;
    }
    EXPECT_EQ(session_.currentDirectory(), (root_ / "Sounds #1").string());
    const std::string bytes("\r\n\n\r\0\xff", 6);
    writeFile(local_ / "up", bytes);
    for (const std::string& name : odd) {
        ASSERT_TRUE(session_.get(name, local_ / "got", TransferType::kAscii).ok()) << name;
        EXPECT_EQ(readFile(local_ / "got"), "content of " + name);
        bool deletedFirst = false;
        ASSERT_TRUE(session_.put(local_ / "up", name, TransferType::kAscii, &deletedFirst).ok());
        EXPECT_TRUE(deletedFirst);
        EXPECT_EQ(readFile(root_ / "Sounds #1" / name), bytes);
    }
    EXPECT_EQ(test::namesIn(root_ / "Sounds #1"), odd) << "no temporary name left";
    EXPECT_EQ(connect(root_.string() + "/nowhere", server_->userKey()).error,
              error::kExtendedError);
}

// A cancelled upload leaves the old file and no temporary name; a server that trickles ends a
// call once a whole window has moved too little.
TEST_F(SftpTest, ACancelledUploadKeepsTheOldFileAndATrickleTimesOut) {
    writeFile(root_ / "map.uz", "old");
    writeFile(local_ / "map.uz", std::string(1 << 20, 'n'));
    serve({.throttleBytesPerSecond = 256 * 1024});
    ASSERT_TRUE(connect().ok());
    CallResult result;
    std::thread upload(
        [&] { result = session_.put(local_ / "map.uz", "map.uz", TransferType::kBinary); });
    EXPECT_TRUE(test::eventually([&] { return test::namesIn(root_).size() > 1; }));
    session_.cancel();
    upload.join();
    EXPECT_EQ(result.error, error::kOperationCancelled);
    EXPECT_EQ(readFile(root_ / "map.uz"), "old");
    EXPECT_EQ(test::namesIn(root_), Names{"map.uz"});

    serve({.throttleBytesPerSecond = 1000});
    writeFile(root_ / "slow.uz", std::string(40000, 'x'));
    ASSERT_TRUE(connect().ok());
    EXPECT_EQ(session_.get("slow.uz", local_ / "slow.uz", TransferType::kBinary).error,
              error::kTimeout);
    EXPECT_FALSE(fs::exists(local_ / "slow.uz"));
}

}  // namespace
}  // namespace varnox::ftp
