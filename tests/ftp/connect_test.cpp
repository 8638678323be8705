// Sessions, connecting and logging in, against a real server and real sockets.
#include <chrono>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

using namespace std::chrono_literals;
using ConnectTest = ServerTest;

TEST_F(ConnectTest, RefusedLoginsKeepEveryLineOfTheReply) {
    FtpServerOptions options;
    options.loginRefusal = "Sorry, no entry.\nTry again tomorrow.";
    serve(options);
    for (auto [user, password] : {std::pair{kUser, "wrong"}, std::pair{"nobody", kPassword}}) {
        EXPECT_TRUE(
            failsWith(connectTo(server().address(), 0, user, password), error::kLoginFailure))
            << user;
        std::uint32_t code = 0;
        std::string text;
        transport_.internetGetLastResponseInfo(code, text);
        EXPECT_EQ(code, 530u);
        EXPECT_EQ(text, "530-Sorry, no entry.\r\n530 Try again tomorrow.\r\n");
    }
}

TEST_F(ConnectTest, NamesWhyNoServerWasReached) {
    varnox::test::SilentServer silent;
    varnox::test::ClosedPort closed;
    struct Case {
        std::string server;
        std::chrono::seconds connectTimeout;
        std::uint32_t error;
    };
    const Case cases[] = {
        // Generous: where no name server answers, the lookup itself takes a while.
        {"no-such-host.invalid", 60s, error::kNameNotResolved},
        {"127.0.0.1:" + std::to_string(closed.port()), 2s, error::kCannotConnect},
        {"127.0.0.1:" + std::to_string(silent.port()), 2s, error::kTimeout},  // no greeting
    };
    for (const Case& c : cases) {
        transport_.setTimeouts(Timeouts{c.connectTimeout, 1s, 1s});
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(failsWith(connectTo(c.server), c.error)) << c.server;
        EXPECT_LT(std::chrono::steady_clock::now() - start, c.connectTimeout + 10s) << c.server;
    }
}

// A server that stops answering after login cannot hold a call for longer than the reply
// timeout, nor hold up closing the connection.
TEST_F(ConnectTest, ADeadServerTimesOutAndStillCloses) {
    transport_.setTimeouts(Timeouts{5s, 1s, 1s});
    connection_ = connect();
    server().stopAnswering();
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(failsWith(cd("/elsewhere"), error::kTimeout));
    FindData data;
    EXPECT_TRUE(failsWith(transport_.ftpFindFirstFile(connection_, "*.*", data), error::kTimeout));
    EXPECT_TRUE(transport_.internetCloseHandle(session_));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
}

TEST_F(ConnectTest, TakesThePortFromTheNameOrTheArgument) {
    const std::string host = "127.0.0.1";
    const std::string port = std::to_string(server().port());
    const std::pair<std::string, std::uint16_t> cases[] = {
        {host + ":" + port, 0},
        {host, server().port()},
        {"ftp://" + host + ":" + port + "/", 0},
        {host + ":" + port, 1},  // the name's port wins
    };
    for (const auto& [name, number] : cases) {
        Handle connection = connectTo(name, number);
        EXPECT_NE(connection, kNoHandle) << name << " port " << number << ": " << lastError();
        transport_.internetCloseHandle(connection);
    }
}

TEST_F(ConnectTest, RefusesBadArgumentsBeforeTheWire) {
    const std::string address = server().address();
    EXPECT_TRUE(failsWith(
        transport_.internetConnect(session_, address, 0, kUser, kPassword, 3, kFlagPassive, 0),
        error::kUnrecognizedScheme));
    EXPECT_TRUE(failsWith(connectTo("http://" + address), error::kUnrecognizedScheme));
    EXPECT_TRUE(failsWith(connectTo(address, 0, "admin\r\nDELE x"), error::kInvalidParameter));
    session_ += 1000;
    EXPECT_TRUE(failsWith(connectTo(address), error::kInvalidHandle));
}

TEST(InternetOpen, ChecksTheAccessTypeAndProxyText) {
    Transport transport;
    for (const char* proxy : {"gateway.lan", " gateway.lan:2121 "}) {
        EXPECT_NE(transport.internetOpen(kAgent, kAccessNamedProxy, proxy), kNoHandle) << proxy;
    }
    for (const char* proxy : {"", " ", "gate way", "gateway:x"}) {
        EXPECT_TRUE(failsWith(transport.internetOpen(kAgent, kAccessNamedProxy, proxy),
                              error::kInvalidParameter))
            << proxy;
    }
    EXPECT_TRUE(failsWith(transport.internetOpen(kAgent, 7), error::kInvalidParameter));
}

// A TIS-style gateway takes "user@server" as the user name. The test server stands in for
// the gateway: its accounts are literally named "admin@127.0.0.1" and "admin@127.0.0.1:2121".
TEST_F(ConnectTest, ThroughAGatewayLogsInAsUserAtServer) {
    writeFile(root_ / "through-gateway.txt", "x");
    FtpAccount plain = account();
    FtpAccount withPort = account();
    plain.name = "admin@127.0.0.1";
    withPort.name = "admin@127.0.0.1:2121";
    FtpServerOptions options;
    options.accounts = {plain, withPort};
    serve(options);
    EXPECT_TRUE(failsWith(connectTo(server().address()), error::kLoginFailure)) << "no admin";

    session_ = transport_.internetOpen(kAgent, kAccessNamedProxy, server().address());
    for (const char* name : {"127.0.0.1", "127.0.0.1:2121"}) {
        for (std::uint32_t flags : {kFlagPassive, 0u}) {
            Handle connection = connectTo(name, 0, kUser, kPassword, flags);
            ASSERT_NE(connection, kNoHandle) << name << ": " << lastError();
            EXPECT_EQ(names(connection), Names{"through-gateway.txt"});
            transport_.internetCloseHandle(connection);
        }
    }
}

}  // namespace
}  // namespace varnox::ftp::test
