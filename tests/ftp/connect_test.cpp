// Sessions, connecting and logging in, against a real server and real sockets.
#include <chrono>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

using varnox::test::ClosedPort;
using varnox::test::SilentServer;

using ConnectTest = ServerTest;

TEST_F(ConnectTest, LogsInAtConnectAndListsTheLoginDirectory) {
    writeFile(root_ / "CTF-Face.unr", "map");
    Handle connection = connect();
    ASSERT_NE(connection, kNoHandle);
    EXPECT_EQ(lastError(), 0u);
    EXPECT_EQ(namesOf(listAll(transport_, connection)), std::set<std::string>{"CTF-Face.unr"});
}

TEST_F(ConnectTest, RefusesAWrongPasswordAtConnect) {
    Handle connection = transport_.internetConnect(session_, server_->address(), 0, kUser, "wrong",
                                                   kServiceFtp, kFlagPassive, 0);
    EXPECT_EQ(connection, kNoHandle);
    EXPECT_EQ(lastError(), error::kLoginFailure);
    std::uint32_t code = 0;
    std::string text;
    transport_.internetGetLastResponseInfo(code, text);
    EXPECT_EQ(code, 530u);
    EXPECT_EQ(text.rfind("530 ", 0), 0u) << text;
}

TEST_F(ConnectTest, RefusesAnUnknownUser) {
    Handle connection = transport_.internetConnect(session_, server_->address(), 0, "nobody",
                                                   kPassword, kServiceFtp, kFlagPassive, 0);
    EXPECT_EQ(connection, kNoHandle);
    EXPECT_EQ(lastError(), error::kLoginFailure);
}

TEST(ConnectRefusal, KeepsEveryLineOfAMultiLineReply) {
    TempDir root;
    FtpServerOptions options;
    options.accounts.push_back(account(root.path()));
    options.loginRefusal = "Sorry, no entry.\nTry again tomorrow.";
    FtpServer server(options);
    Transport transport(testTimeouts());
    Handle session = transport.internetOpen(kAgent, kAccessDirect);
    Handle connection = transport.internetConnect(session, server.address(), 0, kUser, "bad",
                                                  kServiceFtp, kFlagPassive, 0);
    EXPECT_EQ(connection, kNoHandle);
    EXPECT_EQ(lastError(), error::kLoginFailure);
    EXPECT_EQ(lastResponse(transport), "530-Sorry, no entry.\r\n530 Try again tomorrow.\r\n");
}

TEST(ConnectFailure, NamesWhyNoServerWasReached) {
    SilentServer silent;
    ClosedPort closed;
    struct Case {
        const char* what;
        std::string server;
        std::chrono::seconds connectTimeout;
        std::uint32_t error;
    };
    const Case cases[] = {
        // Generous: where no name server answers, the lookup itself takes a while.
        {"unknown host", "no-such-host.invalid", std::chrono::seconds(60), error::kNameNotResolved},
        {"closed port", "127.0.0.1:" + std::to_string(closed.port()), std::chrono::seconds(2),
         error::kCannotConnect},
        {"no greeting", "127.0.0.1:" + std::to_string(silent.port()), std::chrono::seconds(2),
         error::kTimeout},
    };
    Transport transport;
    Handle session = transport.internetOpen(kAgent, kAccessDirect);
    for (const Case& c : cases) {
        transport.setTimeouts(
            Timeouts{c.connectTimeout, std::chrono::seconds(1), std::chrono::seconds(1)});
        auto start = std::chrono::steady_clock::now();
        Handle connection = transport.internetConnect(session, c.server, 0, kUser, kPassword,
                                                      kServiceFtp, kFlagPassive, 0);
        auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(connection, kNoHandle) << c.what;
        EXPECT_EQ(lastError(), c.error) << c.what;
        EXPECT_LT(took, c.connectTimeout + std::chrono::seconds(10)) << c.what;
    }
}

// A server that stops answering after login cannot hold a call for longer than the reply
// timeout, nor hold up closing the connection.
TEST(DeadServer, TimesOutAndStillCloses) {
    TempDir root;
    FtpServer server(kUser, kPassword, root.path());
    Transport transport(
        Timeouts{std::chrono::seconds(5), std::chrono::seconds(1), std::chrono::seconds(1)});
    Handle session = transport.internetOpen(kAgent, kAccessDirect);
    Handle connection = transport.internetConnect(session, server.address(), 0, kUser, kPassword,
                                                  kServiceFtp, kFlagPassive, 0);
    ASSERT_NE(connection, kNoHandle);
    server.stopAnswering();

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(transport.ftpSetCurrentDirectory(connection, "/elsewhere"));
    EXPECT_EQ(lastError(), error::kTimeout);
    FindData data;
    EXPECT_EQ(transport.ftpFindFirstFile(connection, "*.*", data, 0, 0), kNoHandle);
    EXPECT_EQ(lastError(), error::kTimeout);
    EXPECT_TRUE(transport.internetCloseHandle(session));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(ConnectTest, TakesThePortFromTheNameOrTheArgument) {
    std::string host = "127.0.0.1";
    std::uint16_t port = server_->port();
    struct Case {
        std::string name;
        std::uint16_t port;
    };
    const Case cases[] = {
        {host + ":" + std::to_string(port), 0},
        {host, port},
        {"ftp://" + host + ":" + std::to_string(port) + "/", 0},
        {host + ":" + std::to_string(port), 1},  // the name's port wins
    };
    for (const Case& c : cases) {
        Handle connection = transport_.internetConnect(session_, c.name, c.port, kUser, kPassword,
                                                       kServiceFtp, kFlagPassive, 0);
        EXPECT_NE(connection, kNoHandle) << c.name << " port " << c.port << ": " << lastError();
        transport_.internetCloseHandle(connection);
    }
}

TEST_F(ConnectTest, RefusesBadArgumentsBeforeTheWire) {
    struct Case {
        const char* what;
        std::string server;
        std::string user;
        std::uint32_t service;
        std::uint32_t error;
    };
    std::string address = server_->address();
    const Case cases[] = {
        {"HTTP service", address, kUser, 3, error::kUnrecognizedScheme},
        {"HTTP URL", "http://" + address, kUser, kServiceFtp, error::kUnrecognizedScheme},
        {"empty server", "", kUser, kServiceFtp, error::kInvalidParameter},
        {"port too big", "127.0.0.1:70000", kUser, kServiceFtp, error::kInvalidParameter},
        {"line break in user", address, "admin\r\nDELE x", kServiceFtp, error::kInvalidParameter},
        {"blank in host", "127.0.0.1 ", kUser, kServiceFtp, error::kNameNotResolved},
    };
    for (const Case& c : cases) {
        Handle connection = transport_.internetConnect(session_, c.server, 0, c.user, kPassword,
                                                       c.service, kFlagPassive, 0);
        EXPECT_EQ(connection, kNoHandle) << c.what;
        EXPECT_EQ(lastError(), c.error) << c.what;
    }
    EXPECT_EQ(transport_.internetConnect(session_ + 1000, address, 0, kUser, kPassword, kServiceFtp,
                                         kFlagPassive, 0),
              kNoHandle);
    EXPECT_EQ(lastError(), error::kInvalidHandle);
}

TEST(InternetOpen, ChecksTheAccessTypeAndProxyText) {
    Transport transport;
    EXPECT_NE(transport.internetOpen(kAgent, kAccessDirect), kNoHandle);
    EXPECT_NE(transport.internetOpen(kAgent, kAccessNamedProxy, "gateway.lan"), kNoHandle);
    EXPECT_NE(transport.internetOpen(kAgent, kAccessNamedProxy, " gateway.lan:2121 "), kNoHandle);
    for (const char* proxy : {"", " ", "gate way", "gateway:x"}) {
        EXPECT_EQ(transport.internetOpen(kAgent, kAccessNamedProxy, proxy), kNoHandle) << proxy;
        EXPECT_EQ(lastError(), error::kInvalidParameter) << proxy;
    }
    EXPECT_EQ(transport.internetOpen(kAgent, 7), kNoHandle);
    EXPECT_EQ(lastError(), error::kInvalidParameter);
}

// A TIS-style gateway takes "user@server" as the user name. The test server stands in for
// the gateway: its account is literally named "admin@127.0.0.1".
TEST(Gateway, LogsInAsUserAtServer) {
    TempDir root;
    writeFile(root / "through-gateway.txt", "x");
    FtpServerOptions options;
    FtpAccount plain = account(root.path());
    plain.name = "admin@127.0.0.1";
    FtpAccount withPort = account(root.path());
    withPort.name = "admin@127.0.0.1:2121";
    options.accounts = {plain, withPort};
    FtpServer gateway(options);

    Transport transport(testTimeouts());
    Handle session = transport.internetOpen(kAgent, kAccessNamedProxy, gateway.address());
    ASSERT_NE(session, kNoHandle);
    for (const char* server : {"127.0.0.1", "127.0.0.1:2121"}) {
        for (std::uint32_t flags : {kFlagPassive, 0u}) {
            Handle connection = transport.internetConnect(session, server, 0, kUser, kPassword,
                                                          kServiceFtp, flags, 0);
            ASSERT_NE(connection, kNoHandle) << server << ": " << lastError();
            EXPECT_EQ(namesOf(listAll(transport, connection)),
                      std::set<std::string>{"through-gateway.txt"});
            transport.internetCloseHandle(connection);
        }
    }
    // Straight to the server there is no account "admin".
    Handle direct = transport.internetOpen(kAgent, kAccessDirect);
    EXPECT_EQ(transport.internetConnect(direct, gateway.address(), 0, kUser, kPassword, kServiceFtp,
                                        kFlagPassive, 0),
              kNoHandle);
    EXPECT_EQ(lastError(), error::kLoginFailure);
}

}  // namespace
}  // namespace varnox::ftp::test
