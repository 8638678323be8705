// The FTP session against a real server (pyftpdlib on 127.0.0.1) and real sockets.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <thread>

#include "ftp/errors.h"
#include "ftp/session.h"
#include "ftp/tls.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/temp_dir.h"

namespace varnox::ftp {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::FtpServer;
using test::FtpServerOptions;
using test::readFile;
using test::writeFile;
using Names = std::set<std::string>;

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "s3cret";

Names namesIn(const fs::path& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A session over a server whose home is root_; the server starts with the first connect
// unless serve() started it with other options.
class SessionTest : public ::testing::Test {
protected:
    void serve(FtpServerOptions options = {}) {
        if (options.accounts.empty()) {
            options.accounts.push_back({kUser, kPassword, root_.path()});
        }
        server_ = std::make_unique<FtpServer>(std::move(options));
    }
    std::string address() {
        if (!server_) {
            serve();
        }
        return server_->address();
    }
    CallResult connect(const std::string& server, const std::string& user = kUser,
                       bool passive = true) {
        session_.disconnect();
        session_.close();
        EXPECT_TRUE(session_.open(gateway_).ok());
        return session_.connect({server, user, kPassword, passive});
    }
    void connect(bool passive = true) {
        const CallResult result = connect(address(), kUser, passive);
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
    std::unique_ptr<FtpServer> server_;
    Session session_{Timeouts{10s, 10s, 10s}};
    std::string gateway_;
};

TEST_F(SessionTest, ConnectsOrSaysWhyNot) {
    FtpServerOptions options;
    options.loginRefusal = "Sorry, no entry.\nTry again tomorrow.";
    serve(options);
    CallResult refused = connect(address(), "nobody");
    EXPECT_EQ(refused.error, error::kLoginFailure);
    EXPECT_EQ(refused.replyCode, 530u);
    EXPECT_EQ(refused.reply, "530-Sorry, no entry.\r\n530 Try again tomorrow.\r\n");
    EXPECT_EQ(session_.state(), Session::State::kOpen) << "a failed connect stays open";

    test::LocalPort silent(true);   // listens and never answers
    test::LocalPort closed(false);  // refuses connections
    Session quick(Timeouts{2s, 1s, 1s});
    quick.open("");
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"127.0.0.1:" + std::to_string(closed.port()), error::kCannotConnect},
        {"127.0.0.1:" + std::to_string(silent.port()), error::kTimeout},  // no greeting
        {"http://" + address(), error::kUnrecognizedScheme},
        {"no-such-host.invalid", error::kNameNotResolved},
    };
    for (const auto& [server, number] : cases) {
        EXPECT_EQ(quick.connect({server, kUser, kPassword, true}).error, number) << server;
    }
    EXPECT_EQ(quick.connect({address(), "admin\r\nDELE x", kPassword, true}).error,
              error::kInvalidParameter);
    Session idle;
    EXPECT_EQ(idle.connect({address(), kUser, kPassword, true}).error, error::kInvalidHandle);
    EXPECT_EQ(idle.open(" ").error, error::kInvalidParameter);
    EXPECT_EQ(idle.state(), Session::State::kIdle);
}

// A TIS-style gateway takes "user@server" as the user name. The test server stands in for
// the gateway: its accounts are literally named "admin@127.0.0.1" and "admin@127.0.0.1:2121".
TEST_F(SessionTest, ThroughAGatewayLogsInAsUserAtServer) {
    writeFile(root_ / "through-gateway.txt", "x");
    FtpServerOptions options;
    options.accounts = {{"admin@127.0.0.1", kPassword, root_.path()},
                        {"admin@127.0.0.1:2121", kPassword, root_.path()}};
    serve(options);
    EXPECT_EQ(connect(address()).error, error::kLoginFailure) << "no plain admin";
    gateway_ = " " + address() + " ";
    for (const char* name : {"127.0.0.1", "127.0.0.1:2121"}) {
        for (bool passive : {true, false}) {
            ASSERT_TRUE(connect(name, kUser, passive).ok()) << name;
            EXPECT_EQ(names(), Names{"through-gateway.txt"});
        }
    }
}

// Every listing and transfer happens in the directory changed to, whatever libcurl
// remembers about earlier requests; a refused change keeps the old directory.
TEST_F(SessionTest, WorksInTheDirectoryItChangedTo) {
    fs::create_directories(root_ / "Maps" / "uz");
    fs::create_directories(root_ / "Sounds #1%");
    writeFile(root_ / "root.txt", "root");
    writeFile(root_ / "Maps" / "DM-Deck16.unr", "map");
    writeFile(root_ / "Maps" / "uz" / "DM-Deck16.unr.uz", "packed");
    const Names root = {"Maps", "Sounds #1%", "root.txt"}, maps = {"uz", "DM-Deck16.unr"},
                uz = {"DM-Deck16.unr.uz"};
    connect();
    const std::pair<const char*, Names> steps[] = {
        {"Maps", maps}, {"uz", uz},  {"/Maps", maps}, {"/", root},         {"/Maps/uz/", uz},
        {"..", maps},   {"/", root}, {"Maps/uz", uz}, {"/Sounds #1%", {}}, {"/Maps", maps},
    };
    EXPECT_EQ(names(), root);
    for (const auto& [directory, listing] : steps) {
        ASSERT_TRUE(session_.changeDirectory(directory).ok()) << directory;
        EXPECT_EQ(names(), listing) << "after changing to " << directory;
    }
    for (const char* directory : {"/NoSuchFolder", "DM-Deck16.unr"}) {
        const CallResult refused = session_.changeDirectory(directory);
        EXPECT_EQ(refused.error, error::kExtendedError);
        EXPECT_EQ(refused.replyCode, 550u) << refused.reply;
    }
    EXPECT_EQ(session_.currentDirectory(), "/Maps");
    ASSERT_TRUE(session_.get("DM-Deck16.unr", local_ / "got.unr", TransferType::kBinary).ok());
    EXPECT_EQ(readFile(local_ / "got.unr"), "map");
    writeFile(local_ / "new.uz", "fresh");
    ASSERT_TRUE(session_.put(local_ / "new.uz", "new.uz", TransferType::kBinary).ok());
    EXPECT_EQ(readFile(root_ / "Maps" / "new.uz"), "fresh");
    for (const std::string& bad : {std::string("x\r\nDELE root.txt"), std::string("tab\there"),
                                   std::string("nul\0x", 5), std::string(), std::string("dir/")}) {
        EXPECT_EQ(session_.put(local_ / "new.uz", bad, TransferType::kBinary).error,
                  error::kInvalidParameter);
    }
    EXPECT_EQ(readFile(root_ / "root.txt"), "root");
}

TEST_F(SessionTest, ListsNamesAsTheyAreOnTheServerUpToTheLimit) {
    const std::vector<std::string> files = {
        "My Map.unr", "in ner  two",    " lead",        "trail ", "a#b", "50%",
        "what?",      "Gr\303\266e.uz", "lat\3511.utx", "-dash",  "..."};
    for (const std::string& name : files) {
        writeFile(root_ / name, "content of " + name);
    }
    fs::create_directory(root_ / "Music Files");
    connect();
    Listing listing;
    ASSERT_TRUE(session_.list(listing).ok());
    ASSERT_EQ(listing.entries.size(), files.size() + 1);
    for (const FindData& entry : listing.entries) {
        const bool folder = entry.name == "Music Files";
        EXPECT_EQ(entry.attributes, folder ? 16u : 128u) << entry.name;
        if (!folder) {
            ASSERT_TRUE(session_.get(entry.name, local_ / "fetched", TransferType::kBinary).ok())
                << "\"" << entry.name << "\"";
            EXPECT_EQ(readFile(local_ / "fetched"), "content of " + entry.name);
        }
    }
    for (int i = 0; i < 32768; ++i) {
        std::ofstream(root_ / ("f" + std::to_string(i)));
    }
    ASSERT_TRUE(session_.list(listing).ok());
    EXPECT_EQ(listing.entries.size(), kMaxListedEntries);
    EXPECT_TRUE(listing.truncated);
}

TEST_F(SessionTest, MovesTheBytesTheTransferTypeSaysInBothModes) {
    std::string bytes;
    for (int value = 0; value < 3 * 256; ++value) {
        bytes += static_cast<char>(value);
    }
    const std::string text = "one\ntwo\r\nthree\rfour\n";
    // ASCII with pyftpdlib on Linux: a put sends LF and CRLF as CRLF, the server stores LF; a
    // get brings CRLF and a lone CR back as LF.
    const std::tuple<std::string, TransferType, std::string, std::string> cases[] = {
        {bytes + "\r\n\n\r", TransferType::kBinary, bytes + "\r\n\n\r", bytes + "\r\n\n\r"},
        {"", TransferType::kBinary, "", ""},
        {text, TransferType::kAscii, "one\ntwo\nthree\rfour\n", "one\ntwo\nthree\nfour\n"},
        {text, TransferType::kBinary, text, text},
    };
    for (bool passive : {true, false}) {
        connect(passive);
        for (const auto& [sent, type, stored, got] : cases) {
            writeFile(local_ / "up", sent);
            ASSERT_TRUE(session_.put(local_ / "up", "file", type).ok());
            EXPECT_EQ(readFile(root_ / "file"), stored);
            writeFile(root_ / "file", sent);
            ASSERT_TRUE(session_.get("file", local_ / "down", type).ok());
            EXPECT_EQ(readFile(local_ / "down"), got);
        }
    }
}

// A failed get leaves an existing local file as it was and no temporary file; local
// problems have their own numbers.
TEST_F(SessionTest, AFailedTransferChangesNothing) {
    writeFile(root_ / "map.unr", "server copy");
    fs::create_directory(root_ / "Maps");
    writeFile(local_ / "map.unr", "local copy");
    fs::create_directory(local_ / "folder");
    connect();
    const std::tuple<const char*, fs::path, std::uint32_t> gets[] = {
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

// A download from a slow server over an older local file ends when another thread cancels
// it, and after the stall time when the server stops sending; either way the older file
// stays as it was, with no partial file beside it. A dead server cannot hold closing.
TEST_F(SessionTest, ASlowOrDeadServerCannotHoldACall) {
    writeFile(root_ / "big.bin", std::string(4 << 20, 'x'));
    writeFile(local_ / "big.bin", "older copy");
    FtpServerOptions options;
    options.throttleBytesPerSecond = 256 * 1024;
    serve(options);
    Session session(Timeouts{5s, 2s, 1s});
    for (bool stall : {false, true}) {
        session.open("");
        ASSERT_TRUE(session.connect({address(), kUser, kPassword, true}).ok());
        CallResult result;
        std::thread worker(
            [&] { result = session.get("big.bin", local_ / "big.bin", TransferType::kBinary); });
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             namesIn(local_.path()).size() == 1 && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::yield();  // until the download has made its temporary file
        }
        if (stall) {
            server_->stopAnswering();
        } else {
            EXPECT_EQ(session.changeDirectory("/").error, error::kTransferInProgress);
            session.cancel();
        }
        worker.join();
        EXPECT_EQ(result.error, stall ? error::kTimeout : error::kOperationCancelled);
        EXPECT_EQ(readFile(local_ / "big.bin"), "older copy");
        EXPECT_EQ(namesIn(local_.path()), Names{"big.bin"});
        const auto closing = std::chrono::steady_clock::now();
        session.close();
        EXPECT_LT(std::chrono::steady_clock::now() - closing, 10s);
    }
}

// A drip of a few bytes a second is a stall: the call ends with the timeout, and a get leaves
// the older local file and no partial one beside it.
TEST_F(SessionTest, ADripIsAStall) {
    writeFile(root_ / "slow.uz", std::string(400, 'x'));
    writeFile(local_ / "slow.uz", "older");
    FtpServerOptions options;
    options.throttleBytesPerSecond = 4;
    serve(options);
    Session session(Timeouts{5s, 5s, 2s, 1024});
    session.open("");
    ASSERT_TRUE(session.connect({address(), kUser, kPassword, true}).ok());
    EXPECT_EQ(session.get("slow.uz", local_ / "slow.uz", TransferType::kBinary).error,
              error::kTimeout);
    EXPECT_EQ(readFile(local_ / "slow.uz"), "older");
    EXPECT_EQ(namesIn(local_.path()), Names{"slow.uz"});
    Listing listing;
    EXPECT_EQ(session.list(listing).error, error::kTimeout) << "a listing drips too";
}

TEST_F(SessionTest, AListingIsCutAfter64MebibytesOfText) {
    FtpServerOptions options;
    options.cannedListing = "-rw-r--r-- 1 u g 5 Jan 01 12:00 first\r\n";
    const std::string noEntry = "total " + std::string(4000, '0') + "\r\n";
    while (options.cannedListing->size() < (65u << 20)) {
        *options.cannedListing += noEntry;
    }
    serve(options);
    connect();
    Listing listing;
    ASSERT_TRUE(session_.list(listing).ok());
    EXPECT_TRUE(listing.truncated);
    EXPECT_EQ(listing.entries.size(), 1u);
}

TEST_F(SessionTest, ADownloadShorterThanItsSizeFails) {
    writeFile(root_ / "map.uz", std::string(1000, 'm'));
    writeFile(local_ / "map.uz", "good copy");
    FtpServerOptions options;
    options.truncateDownloads = true;
    serve(options);
    connect();
    EXPECT_EQ(session_.get("map.uz", local_ / "map.uz", TransferType::kBinary).error,
              error::kConnectionAborted);
    EXPECT_EQ(readFile(local_ / "map.uz"), "good copy");
    EXPECT_EQ(namesIn(local_.path()), Names{"map.uz"});
}

// Players download from the folder an upload goes to: the file there is the old one until
// the new one is complete, also when the upload is cancelled or the server refuses to
// rename onto an existing file; no temporary name stays behind.
TEST_F(SessionTest, AnUploadTakesTheNameOnlyWhenComplete) {
    const std::string fresh(1 << 20, 'n');
    writeFile(local_ / "map.uz", fresh);
    for (bool refuseRename : {false, true}) {
        writeFile(root_ / "map.uz", "old");
        FtpServerOptions options;
        options.throttleBytesPerSecond = 256 * 1024;
        options.refuseRenameOverFile = refuseRename;
        serve(options);
        connect();
        CallResult result;
        std::thread upload(
            [&] { result = session_.put(local_ / "map.uz", "map.uz", TransferType::kBinary); });
        for (auto deadline = std::chrono::steady_clock::now() + 10s;
             namesIn(root_.path()).size() == 1 && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::yield();  // until the temporary file is there
        }
        EXPECT_EQ(readFile(root_ / "map.uz"), "old") << "while the upload runs";
        if (refuseRename) {
            upload.join();
            EXPECT_TRUE(result.ok()) << result.error << " " << result.reply;
            EXPECT_EQ(readFile(root_ / "map.uz"), fresh);
        } else {
            session_.cancel();
            upload.join();
            EXPECT_EQ(result.error, error::kOperationCancelled);
            EXPECT_EQ(readFile(root_ / "map.uz"), "old");
        }
        EXPECT_EQ(namesIn(root_.path()), Names{"map.uz"}) << "no temporary name left";
    }
}

// A certificate that does not verify is shown; No ends the connection after the handshake,
// Yes trusts that certificate for that server from then on, until it changes.
TEST_F(SessionTest, AnUntrustedCertificateIsAskedAbout) {
    FtpServerOptions options;
    options.explicitTls = true;
    options.commandLog = local_ / "commands.log";
    serve(options);
    TrustedServers trusted(local_ / "trusted_servers.txt");
    std::vector<bool> asked;  // whether each question said the certificate changed
    bool trust = false;
    auto session = [&] {
        return std::make_unique<Session>(
            Timeouts{10s, 10s, 10s}, &trusted, [&](const Certificate& certificate, bool changed) {
                EXPECT_EQ(certificate.sha256.size(), 95u);
                EXPECT_NE(certificate.subject.find("varnox test"), std::string::npos);
                asked.push_back(changed);
                return trust;
            });
    };
    auto connectTls = [&](Session& s) {
        s.open("");
        return s.connect({"ftpes://" + address(), kUser, kPassword, true});
    };
    auto first = session();
    EXPECT_EQ(connectTls(*first).error, error::kInvalidCa);
    EXPECT_EQ(readFile(local_ / "commands.log").find("USER"), std::string::npos)
        << "nothing sent after the handshake";
    trust = true;
    const CallResult trusted1 = connectTls(*first);
    ASSERT_TRUE(trusted1.ok()) << trusted1.error << " " << trusted1.reply;
    Listing listing;
    const CallResult listed = first->list(listing);
    EXPECT_TRUE(listed.ok()) << "the data connection is protected too: " << listed.error << " "
                             << listed.reply;
    EXPECT_NE(readFile(local_ / "commands.log").find("PROT"), std::string::npos);
    EXPECT_EQ(asked, (std::vector<bool>{false, false}));
    ASSERT_TRUE(connectTls(*session()).ok());
    EXPECT_EQ(asked.size(), 2u) << "a trusted certificate is not asked about again";

    const std::uint16_t port = server_->port();
    server_.reset();
    options.port = port;
    serve(options);  // the same server with another certificate
    ASSERT_TRUE(connectTls(*session()).ok());
    EXPECT_EQ(asked, (std::vector<bool>{false, false, true}));
}

}  // namespace
}  // namespace varnox::ftp
