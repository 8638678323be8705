// The FTP session against real servers (pyftpdlib, and Debian's vsftpd for TLS, on 127.0.0.1)
// and real sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "ftp/errors.h"
#include "ftp/session.h"
#include "ftp/tls.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/permission_checks.h"
#include "tests/support/temp_dir.h"

namespace varnox::ftp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::namesIn;
using test::readFile;
using test::writeFile;
using Names = std::set<std::string>;

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "s3cret";

// A session over the server that serve() started, whose home is root_ unless the options
// name other accounts.
class SessionTest : public ::testing::Test {
protected:
    void serve(test::FtpServerOptions options = {}) {
        if (options.accounts.empty()) {
            options.accounts.push_back({kUser, kPassword, root_.path()});
        }
        server_ = std::make_unique<test::FtpServer>(std::move(options));
    }
    CallResult connectTo(const std::string& server, bool passive = true) {
        session_.disconnect();
        session_.close();
        EXPECT_TRUE(session_.open(gateway_).ok());
        return session_.connect({server, kUser, kPassword, passive});
    }
    void connect(bool passive = true) {
        const CallResult result = connectTo(server_->address(), passive);
        ASSERT_TRUE(result.ok()) << result.error << " " << result.reply;
    }
    Names names() {
        Listing listing;
        const CallResult result = session_.list(listing);
        EXPECT_TRUE(result.ok()) << result.error;
        Names names;
        for (const FindData& entry : listing.entries) {
            names.insert(entry.name);
        }
        return names;
    }

    test::TempDir root_;   // the server's folder
    test::TempDir local_;  // the client's folder
    std::unique_ptr<test::FtpServer> server_;
    Session session_{Timeouts{10s, 10s}};
    std::string gateway_;
};

// A TIS-style gateway takes "user@server" as the user name. The test server stands in for
// the gateway: its accounts are literally named "admin@127.0.0.1" and "admin@127.0.0.1:2121",
// so a plain "admin" is refused.
TEST_F(SessionTest, ConnectsDirectlyOrThroughAGatewayOrSaysWhyNot) {
    writeFile(root_ / "through-gateway.txt", "x");
    serve({.accounts = {{"admin@127.0.0.1", kPassword, root_.path()},
                        {"admin@127.0.0.1:2121", kPassword, root_.path()}},
           .loginRefusal = "Sorry, no entry.\nTry again tomorrow."});
    CallResult refused = connectTo(server_->address());
    EXPECT_EQ(refused.error, error::kLoginFailure);
    EXPECT_EQ(refused.replyCode, 530u);
    EXPECT_EQ(refused.reply, "530-Sorry, no entry.\r\n530 Try again tomorrow.\r\n");
    EXPECT_EQ(session_.state(), Session::State::kOpen) << "a failed connect stays open";
    gateway_ = " " + server_->address() + " ";
    for (const char* name : {"127.0.0.1", "127.0.0.1:2121"}) {
        ASSERT_TRUE(connectTo(name).ok()) << name;
        EXPECT_EQ(names(), Names{"through-gateway.txt"});
    }

    test::LocalPort silent(true);   // listens and never answers
    test::LocalPort closed(false);  // refuses connections
    Session quick(Timeouts{2s, 10s});
    quick.open("");
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"127.0.0.1:" + std::to_string(closed.port()), error::kCannotConnect},
        {"127.0.0.1:" + std::to_string(silent.port()), error::kTimeout},  // no greeting
        {"http://" + server_->address(), error::kUnrecognizedScheme},
        {"no-such-host.invalid", error::kNameNotResolved},
    };
    for (const auto& [server, number] : cases) {
        EXPECT_EQ(quick.connect({server, kUser, kPassword, true}).error, number) << server;
    }
    EXPECT_EQ(quick.connect({server_->address(), "admin\r\nDELE x", kPassword, true}).error,
              error::kInvalidParameter);
    Session idle;
    EXPECT_EQ(idle.connect({server_->address(), kUser, kPassword, true}).error,
              error::kInvalidHandle);
    EXPECT_EQ(idle.open(" ").error, error::kInvalidParameter);
    EXPECT_EQ(idle.state(), Session::State::kIdle);
}

// Every listing and transfer happens in the directory changed to, whatever libcurl
// remembers about earlier requests, with names as the server has them (blanks, URL
// characters, bytes that are not UTF-8); a refused change keeps the old directory. A server
// that closed the idle control connection is logged in to anew, and the call goes on there.
TEST_F(SessionTest, WorksInTheDirectoryItChangedTo) {
    const Names odd = {"My Map.unr", "in ner  two",    " lead",        "trail ", "a#b", "50%",
                       "what?",      "Gr\303\266e.uz", "lat\3511.utx", "-dash",  "..."};
    for (const std::string& name : odd) {
        writeFile(root_ / "Sounds #1%" / name, "content of " + name);
    }
    writeFile(root_ / "root.txt", "root");
    writeFile(root_ / "Maps" / "DM-Deck16.unr", "map");
    writeFile(root_ / "Maps" / "uz" / "DM-Deck16.unr.uz", "packed");
    const Names root = {"Maps", "Sounds #1%", "root.txt"}, maps = {"uz", "DM-Deck16.unr"},
                uz = {"DM-Deck16.unr.uz"};
    serve({.idleTimeoutSeconds = 2, .commandLog = local_ / "commands.log"});
    connect();
    const std::pair<const char*, Names> steps[] = {
        {"Maps", maps}, {"uz", uz},  {"/Maps", maps}, {"/", root},     {"/Maps/uz/", uz},
        {"..", maps},   {"/", root}, {"Maps/uz", uz}, {"/Maps", maps}, {"/Sounds #1%", odd},
    };
    EXPECT_EQ(names(), root);
    for (const auto& [directory, listing] : steps) {
        ASSERT_TRUE(session_.changeDirectory(directory).ok()) << directory;
        EXPECT_EQ(names(), listing) << "after changing to " << directory;
    }
    for (const char* directory : {"/NoSuchFolder", "/Maps/DM-Deck16.unr"}) {
        const CallResult refused = session_.changeDirectory(directory);
        EXPECT_EQ(refused.error, error::kExtendedError);
        EXPECT_EQ(refused.replyCode, 550u) << refused.reply;
    }
    EXPECT_EQ(session_.currentDirectory(), "/Sounds #1%");
    for (const std::string& name : odd) {
        ASSERT_TRUE(session_.get(name, local_ / "got", TransferType::kBinary).ok()) << name;
        EXPECT_EQ(readFile(local_ / "got"), "content of " + name);
    }
    for (const std::string& bad : {std::string("x\r\nDELE root.txt"), std::string("tab\there"),
                                   std::string("nul\0x", 5), std::string(), std::string("dir/")}) {
        EXPECT_EQ(session_.put(local_ / "got", bad, TransferType::kBinary).error,
                  error::kInvalidParameter);
    }
    test::eventually([&] { return readFile(local_ / "commands.log").ends_with("421\n"); });
    writeFile(local_ / "new.uz", "fresh");
    const CallResult put = session_.put(local_ / "new.uz", "new.uz", TransferType::kBinary);
    ASSERT_TRUE(put.ok()) << put.error << " " << put.reply;
    EXPECT_EQ(readFile(root_ / "Sounds #1%" / "new.uz"), "fresh");
    EXPECT_EQ(readFile(root_ / "root.txt"), "root");
}

// Active mode here; every other test transfers in passive mode.
TEST_F(SessionTest, MovesTheBytesTheTransferTypeSays) {
    std::string bytes;
    for (int value = 0; value < 3 * 256; ++value) {
        bytes += static_cast<char>(value);
    }
    // ASCII with pyftpdlib on Linux: a put sends LF and CRLF as CRLF, the server stores LF; a
    // get brings CRLF and a lone CR back as LF.
    const std::tuple<std::string, TransferType, std::string, std::string> cases[] = {
        {bytes + "\r\n\n\r", TransferType::kBinary, bytes + "\r\n\n\r", bytes + "\r\n\n\r"},
        {"", TransferType::kBinary, "", ""},
        {"one\ntwo\r\nthree\rfour\n", TransferType::kAscii, "one\ntwo\nthree\rfour\n",
         "one\ntwo\nthree\nfour\n"},
    };
    serve();
    connect(false);
    for (const auto& [sent, type, stored, got] : cases) {
        writeFile(local_ / "up", sent);
        ASSERT_TRUE(session_.put(local_ / "up", "file", type).ok());
        EXPECT_EQ(readFile(root_ / "file"), stored);
        writeFile(root_ / "file", sent);
        ASSERT_TRUE(session_.get("file", local_ / "down", type).ok());
        EXPECT_EQ(readFile(local_ / "down"), got);
    }
}

// A failed get leaves an existing local file as it was and no temporary file, also when the
// server sends less than the size it gave; local problems have their own numbers.
TEST_F(SessionTest, AFailedTransferChangesNothing) {
    writeFile(root_ / "map.unr", "server copy");
    fs::create_directory(root_ / "Maps");
    writeFile(local_ / "map.unr", "local copy");
    fs::create_directory(local_ / "folder");
    serve({.truncateDownloads = true});
    connect();
    const std::tuple<const char*, fs::path, std::uint32_t> gets[] = {
        {"map.unr", local_ / "map.unr", error::kConnectionAborted},  // half of it
        {"missing.unr", local_ / "map.unr", error::kExtendedError},
        {"Maps", local_ / "map.unr", error::kExtendedError},
        {"map.unr", local_ / "nowhere" / "map.unr", error::kPathNotFound},
        {"map.unr", local_ / "folder", error::kAccessDenied},
        {"map.unr", local_ / "folder" / "..", error::kInvalidParameter},
    };
    for (const auto& [name, target, number] : gets) {
        EXPECT_EQ(session_.get(name, target, TransferType::kBinary).error, number) << target;
    }
    const std::pair<fs::path, std::uint32_t> puts[] = {
        {local_ / "absent.uz", error::kFileNotFound},
        {local_ / "nowhere" / "absent.uz", error::kPathNotFound},
        {local_ / "folder", error::kAccessDenied},
    };
    for (const auto& [source, number] : puts) {
        EXPECT_EQ(session_.put(source, "x.uz", TransferType::kBinary).error, number) << source;
    }
    EXPECT_FALSE(fs::exists(root_ / "x.uz"));
    EXPECT_EQ(readFile(local_ / "map.unr"), "local copy");
    EXPECT_EQ(namesIn(local_.path()), (Names{"folder", "map.unr"}));
}

// A download from a server that drips 20 bytes a second ends when another thread cancels it,
// or once a whole window has moved less than the window's bytes at the rate (Timeouts); either
// way the older local file stays as it was, with no partial file beside it. A listing drips
// too. A server that stops answering for less than a window holds a call up but does not end
// it. A dead server cannot hold closing.
TEST_F(SessionTest, ASlowOrDeadServerCannotHoldACall) {
    writeFile(root_ / "slow.uz", std::string(400, 'x'));
    writeFile(root_ / std::string(200, 'n'), "a listing of 12 seconds");
    writeFile(local_ / "slow.uz", "older copy");
    serve({.throttleBytesPerSecond = 20});
    Session session(Timeouts{5s, 6s});
    session.open("");
    ASSERT_TRUE(session.connect({server_->address(), kUser, kPassword, true}).ok());
    for (bool cancel : {true, false}) {
        CallResult result;
        std::thread worker(
            [&] { result = session.get("slow.uz", local_ / "slow.uz", TransferType::kBinary); });
        if (cancel) {
            // Its temporary file is there.
            test::eventually([&] { return namesIn(local_.path()).size() > 1; });
            EXPECT_EQ(session.changeDirectory("/").error, error::kTransferInProgress);
            session.cancel();
        }
        worker.join();
        EXPECT_EQ(result.error, cancel ? error::kOperationCancelled : error::kTimeout);
        EXPECT_EQ(readFile(local_ / "slow.uz"), "older copy");
        EXPECT_EQ(namesIn(local_.path()), Names{"slow.uz"});
    }
    Listing listing;
    EXPECT_EQ(session.list(listing).error, error::kTimeout);
    ASSERT_TRUE(session.changeDirectory("/").ok()) << "a call without data is not held up";
    server_->stopAnswering();
    std::thread resume([&] {
        std::this_thread::sleep_for(2s);
        server_->resumeAnswering();
    });
    EXPECT_TRUE(session.changeDirectory("/").ok()) << "held up by a pause, not ended";
    resume.join();
    server_->stopAnswering();
    const auto closing = std::chrono::steady_clock::now();
    session.close();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 10s);
}

// Players download from the folder an upload goes to: the file there is the old one until
// the new one is complete, also when the upload is cancelled or the server refuses to
// rename onto an existing file; no temporary name stays behind.
TEST_F(SessionTest, AnUploadTakesTheNameOnlyWhenComplete) {
    const std::string fresh(1 << 20, 'n');
    writeFile(local_ / "map.uz", fresh);
    for (bool refuseRename : {false, true}) {
        writeFile(root_ / "map.uz", "old");
        serve({.throttleBytesPerSecond = 256 * 1024, .refuseRenameOverFile = refuseRename});
        connect();
        CallResult result;
        bool deletedFirst = false;
        std::thread upload([&] {
            result =
                session_.put(local_ / "map.uz", "map.uz", TransferType::kBinary, &deletedFirst);
        });
        test::eventually([&] { return namesIn(root_.path()).size() > 1; });  // the temporary file
        EXPECT_EQ(readFile(root_ / "map.uz"), "old") << "while the upload runs";
        if (!refuseRename) {
            session_.cancel();
        }
        upload.join();
        EXPECT_EQ(result.error, refuseRename ? 0u : error::kOperationCancelled) << result.reply;
        EXPECT_EQ(deletedFirst, refuseRename);
        EXPECT_EQ(readFile(root_ / "map.uz"), refuseRename ? fresh : "old");
        EXPECT_EQ(namesIn(root_.path()), Names{"map.uz"}) << "no temporary name left";
    }
}

// A certificate that does not verify is shown; No ends the connection after the handshake,
// Yes trusts that certificate for that server from then on, until it changes; the file keeps
// it (lines ending in CR LF and fingerprints in lower case do too) unless others than its
// owner could change the file. One that the system's trust store vouches for is not asked
// about, and needs no file of trusted certificates, not even a readable one; a certificate
// that needs a file that cannot be used fails with a report that names it.
TEST_F(SessionTest, AnUntrustedCertificateIsAskedAbout) {
    test::FtpServerOptions options{.explicitTls = true, .commandLog = local_ / "commands.log"};
    serve(options);
    settings::TrustedServers trusted(local_ / "trusted_servers.txt");
    std::vector<bool> asked;  // whether each question said the certificate changed
    bool trust = false;
    std::unique_ptr<Session> session;
    CallResult last;
    auto connectTls = [&] {
        session = std::make_unique<Session>(
            Timeouts{10s, 10s}, &trusted, [&](const Certificate& certificate, bool changed) {
                EXPECT_EQ(certificate.sha256.size(), 95u);
                EXPECT_NE(certificate.subject.find("varnox test"), std::string::npos);
                asked.push_back(changed);
                return trust;
            });
        session->open("");
        last = session->connect({"ftpes://" + server_->address(), kUser, kPassword});
        return last.error;
    };
    EXPECT_EQ(connectTls(), error::kInvalidCa);
    EXPECT_EQ(readFile(local_ / "commands.log").find("USER"), std::string::npos)
        << "nothing sent after the handshake";
    trust = true;
    ASSERT_EQ(connectTls(), 0u);
    Listing listing;
    EXPECT_TRUE(session->list(listing).ok()) << "the data connection is protected too";
    trust = false;
    EXPECT_EQ(connectTls(), 0u) << "a trusted certificate is not asked about again";
    EXPECT_EQ(asked, (std::vector<bool>{false, false}));

    const std::uint16_t port = server_->port();
    server_.reset();
    options.port = port;
    serve(options);  // the same server with another certificate
    trust = true;
    EXPECT_EQ(connectTls(), 0u);
    EXPECT_EQ(asked, (std::vector<bool>{false, false, true}));
    trust = false;
    const fs::path file = local_ / "trusted_servers.txt";
    std::string line = readFile(file);
    std::transform(line.begin(), line.end(), line.begin(), ::tolower);
    writeFile(file, "other:21 00:11\n" + line.substr(0, line.size() - 1) + "\r\n");
    EXPECT_EQ(connectTls(), 0u) << last.detail;
    for (const auto& [mode, owner, said] :
         {std::tuple{0664, ::geteuid(), " has mode 0664"},
          std::tuple{0600, uid_t{1}, " belongs to another user (uid 1)"}}) {
        fs::permissions(file, fs::perms(mode));
        if (::chown(file.c_str(), owner, ~gid_t{0}) == 0) {  // only root gives files away
            EXPECT_EQ(connectTls(), error::kAccessDenied);
            EXPECT_NE(last.detail.find(file.string() + said), std::string::npos) << last.detail;
        }
        EXPECT_EQ(::chown(file.c_str(), ::geteuid(), ~gid_t{0}), 0);
    }
    EXPECT_EQ(asked.size(), 3u);

    options.port = 0;
    options.certificateFile = local_ / "trust-store.pem";
    serve(options);
    test::PermissionChecksEnforced enforced;
    fs::permissions(file, fs::perms::none);
    ::setenv("SSL_CERT_FILE", options.certificateFile->c_str(), 1);
    EXPECT_EQ(connectTls(), 0u) << last.detail;
    EXPECT_TRUE(session->list(listing).ok());
    ::unsetenv("SSL_CERT_FILE");
    if (enforced.effective(local_.path())) {
        EXPECT_EQ(connectTls(), error::kAccessDenied);
        EXPECT_NE(last.detail.find(file.string()), std::string::npos) << last.detail;
    }
    EXPECT_EQ(asked.size(), 3u);
}

// Debian's vsftpd with its default TLS settings refuses a data connection that does not resume
// the control connection's TLS session (require_ssl_reuse=YES), and then ends the session.
// Uploads and listings one after another go over one login and leave only the files. A server
// that refuses TLS 1.2 is met with TLS 1.3.
TEST_F(SessionTest, TlsDataConnectionsResumeTheControlConnectionsSession) {
    serve({.commandLog = local_ / "vsftpd.log", .vsftpd = true});
    Session session({}, nullptr, [](const Certificate&, bool) { return true; });
    session.open("");
    ASSERT_TRUE(session.connect({"ftpes://" + server_->address(), "", ""}).ok());
    for (std::size_t i = 0; i < 6; ++i) {
        const std::string name = "M" + std::to_string(i) + ".unr.uz";
        writeFile(local_ / name, std::string(std::size_t{1000} << (2 * i), 'a'));
        ASSERT_TRUE(session.put(local_ / name, name, TransferType::kBinary).ok()) << i;
        EXPECT_EQ(readFile(root_ / name), readFile(local_ / name));
        Listing listing;
        ASSERT_TRUE(session.list(listing).ok());
        EXPECT_EQ(listing.entries.size(), i + 1);
        EXPECT_EQ(namesIn(root_.path()).size(), i + 1) << "no temporary file (vsftpd hides them)";
    }
    const std::string log = readFile(local_ / "vsftpd.log");
    EXPECT_EQ(log.find("OK LOGIN"), log.rfind("OK LOGIN")) << log;

    serve({.explicitTls = true, .tls13Only = true});
    session.disconnect();
    EXPECT_TRUE(session.connect({"ftpes://" + server_->address(), kUser, kPassword}).ok());
}

}  // namespace
}  // namespace varnox::ftp
