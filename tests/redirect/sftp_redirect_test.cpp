// varnox-redirect against a real OpenSSH server: host keys refused, trusted and changed, a
// sync that leaves what an FTP sync leaves, and an upload cut short.
#include <signal.h>

#include <gtest/gtest.h>

#include "settings/settings_file.h"
#include "tests/redirect/run_redirect.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/game_folder.h"
#include "tests/support/programs.h"
#include "tests/support/ssh_server.h"

namespace varnox::redirect {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using Args = std::vector<std::string>;

// A game folder named by a settings file; ~/.ssh is a temporary folder.
class SftpRedirectTest : public ::testing::Test {
protected:
    SftpRedirectTest() {
        test::makeGameFolder(game_, false);
        fs::create_directories(root_);
        settings::writeSettingsFile(config_, {game_.string(), "", "", "", "", ""});
    }
    // The program on `server` (the SSH server's folder root_ unless named), with the key the
    // server lets in unless the arguments name another.
    pid_t start(Args args, const std::string& server = {}) {
        args.insert(args.begin(), {"--identity", server_->userKey(), "--server",
                                   server.empty() ? server_->address(root_) : server});
        return startRedirect(config_, args, home_ / "");
    }
    test::ProgramEnd run(const Args& args, const std::string& server = {}) {
        return test::waitForProgram(start(args, server), home_ / "");
    }

    test::TemporaryHome home_;
    fs::path game_ = home_ / "game";
    fs::path root_ = home_ / "root";
    fs::path config_ = home_ / "config.txt";
    std::unique_ptr<test::SshServer> server_ = std::make_unique<test::SshServer>();
};

// An unknown host key is refused until it is trusted by its fingerprint, a wrong key logs in
// nowhere, a changed host key is refused, also by trust; a sync leaves on the SFTP server the
// files it leaves on an FTP server, byte for byte, and a second one sends nothing.
TEST_F(SftpRedirectTest, SyncsAsOverFtpOnceTheHostKeyIsTrusted) {
    writeFile(game_ / "Maps/DM-One.unr", std::string(300'000, '1'));
    writeFile(game_ / "Sounds/Two Words.uax", std::string(70'000, '2'));
    writeFile(game_ / "uz/Lone.umx.uz", "made elsewhere");
    test::makeKey(home_ / "wrong_key");
    const std::string fingerprint = server_->fingerprint();
    const std::string name = "[127.0.0.1]:" + std::to_string(server_->port());
    const fs::path ftpRoot = home_ / "ftp";
    fs::create_directories(ftpRoot);
    test::FtpServer ftp({.accounts = {{"ut", "pw", ftpRoot}}});
    ::setenv("VARNOX_FTP_PASSWORD", "pw", 1);  // the SSH server takes no passwords
    const struct {
        Args args;
        int exitCode;
        std::string said;
    } steps[] = {
        {{"upload"}, 1, "The host key of " + name + " is not known: ED25519 key " + fingerprint},
        {{"trust"}, 1, "  ED25519 key fingerprint: " + fingerprint},
        {{"trust", "--fingerprint", "SHA256:" + std::string(43, 'A')}, 1, "not the one given"},
        {{"trust", "--fingerprint", fingerprint}, 0, "trusted  the host key of " + name},
        {{"trust"}, 0, "is known already; nothing changed"},
        {{"upload", "--identity", home_ / "wrong_key"}, 1, "refused the login as"},
        {{"sync"}, 0, "uploaded 3, 0 failed, 0 already there"},
        {{"sync"}, 0, "uploaded 0, 0 failed, 3 already there"},
    };
    for (const auto& step : steps) {
        const test::ProgramEnd ended = run(step.args);
        EXPECT_EQ(ended.exitCode, step.exitCode) << step.args[0] << "\n" << ended.err;
        EXPECT_NE((ended.out + ended.err).find(step.said), std::string::npos) << step.said;
    }
    EXPECT_EQ(run({"upload", "--user", "ut"}, ftp.address()).exitCode, 0);
    EXPECT_EQ(test::namesIn(root_), test::namesIn(ftpRoot));
    for (const std::string& file : test::namesIn(root_)) {
        EXPECT_EQ(readFile(root_ / file), readFile(ftpRoot / file)) << file;
        EXPECT_EQ(readFile(root_ / file), readFile(game_ / "uz" / file)) << file;
    }

    const std::string trusted = readFile(home_.knownHosts());
    const std::uint16_t port = server_->port();
    server_.reset();
    server_ = std::make_unique<test::SshServer>(test::SshServerOptions{.port = port});
    EXPECT_EQ(run({"trust", "--fingerprint", server_->fingerprint()}).exitCode, 1);
    const test::ProgramEnd changed = run({"upload"});
    EXPECT_EQ(changed.exitCode, 1);
    EXPECT_NE(changed.err.find("The host key of " + name + " has CHANGED"), std::string::npos);
    EXPECT_EQ(readFile(home_.knownHosts()), trusted);
    ::unsetenv("VARNOX_FTP_PASSWORD");
}

// An upload killed mid-way leaves the old file; the next run keeps what the cut left under its
// temporary name (another run might still be sending it) and uploads the file.
TEST_F(SftpRedirectTest, AnUploadKilledMidWayKeepsTheOldFile) {
    server_ = std::make_unique<test::SshServer>(
        test::SshServerOptions{.throttleBytesPerSecond = 512 * 1024});
    writeFile(home_.knownHosts(), server_->knownHostsLines());
    writeFile(game_ / "uz/A.unr.uz", std::string(1 << 20, 'a'));
    writeFile(root_ / "A.unr.uz", "old");
    const pid_t child = start({"upload"});
    EXPECT_TRUE(test::eventually([&] { return test::namesIn(root_).size() > 1; }));
    ::kill(child, SIGKILL);
    test::waitForProgram(child);
    EXPECT_EQ(readFile(root_ / "A.unr.uz"), "old");
    const test::ProgramEnd next = run({"upload"});
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_NE(next.out.find("kept  .varnox-upload-"), std::string::npos) << next.out;
    EXPECT_EQ(readFile(root_ / "A.unr.uz"), readFile(game_ / "uz/A.unr.uz"));
}

}  // namespace
}  // namespace varnox::redirect
