// Handles, the thread's last error and the last response text.
#include <thread>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

using HandleTest = ServerTest;

TEST_F(HandleTest, ClosedAndForeignHandlesAreRefused) {
    Handle connection = connect();
    FindData data;
    writeFile(root_ / "f", "1");
    Handle find = transport_.ftpFindFirstFile(connection, "*.*", data, 0, 0);
    ASSERT_NE(find, kNoHandle);

    // Handles of the wrong kind.
    EXPECT_FALSE(transport_.ftpSetCurrentDirectory(session_, "/"));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_FALSE(transport_.ftpSetCurrentDirectory(find, "/"));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_FALSE(transport_.internetFindNextFile(connection, data));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_EQ(transport_.internetConnect(connection, server_->address(), 0, kUser, kPassword,
                                         kServiceFtp, kFlagPassive, 0),
              kNoHandle);
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_FALSE(transport_.internetCloseHandle(kNoHandle));
    EXPECT_EQ(lastError(), error::kInvalidHandle);

    // Closing the session closes its connection and the connection's find.
    ASSERT_TRUE(transport_.internetCloseHandle(session_));
    EXPECT_EQ(lastError(), 0u);
    EXPECT_FALSE(transport_.internetCloseHandle(session_));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_FALSE(transport_.internetFindNextFile(find, data));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    const std::filesystem::path target = local_ / "f";
    EXPECT_FALSE(transport_.ftpGetFile(connection, "f", target, false, 0, kTransferBinary));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_FALSE(transport_.ftpPutFile(connection, target, "f", kTransferBinary));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_EQ(transport_.ftpFindFirstFile(connection, "*.*", data, 0, 0), kNoHandle);
    EXPECT_EQ(lastError(), error::kInvalidHandle);
}

TEST_F(HandleTest, ConnectionsOfOneSessionAreIndependent) {
    std::filesystem::create_directory(root_ / "Maps");
    writeFile(root_ / "Maps" / "m.unr", "1");
    writeFile(root_ / "top.txt", "2");
    Handle first = connect();
    Handle second = connect();
    ASSERT_NE(first, second);
    ASSERT_TRUE(transport_.ftpSetCurrentDirectory(first, "Maps"));
    EXPECT_EQ(namesOf(listAll(transport_, first)), std::set<std::string>{"m.unr"});
    EXPECT_EQ(namesOf(listAll(transport_, second)), (std::set<std::string>{"Maps", "top.txt"}));
    ASSERT_TRUE(transport_.internetCloseHandle(first));
    EXPECT_EQ(namesOf(listAll(transport_, second)), (std::set<std::string>{"Maps", "top.txt"}));
}

TEST_F(HandleTest, ResponseTextInTheTwoCallForm) {
    Handle connection = connect();
    ASSERT_FALSE(transport_.ftpSetCurrentDirectory(connection, "/absent"));
    ASSERT_EQ(lastError(), error::kExtendedError);
    std::string expected = lastResponse(transport_);
    ASSERT_FALSE(expected.empty());

    // First call: no buffer, length 0, to learn the length.
    std::uint32_t code = 0;
    std::uint32_t length = 0;
    EXPECT_FALSE(transport_.internetGetLastResponseInfo(code, nullptr, length));
    EXPECT_EQ(lastError(), error::kInsufficientBuffer);
    EXPECT_EQ(length, expected.size() + 1);
    EXPECT_EQ(code, 550u);

    // Second call: a buffer of that length plus one NUL, passing the length learnt.
    std::string buffer(length + 1, '\0');
    EXPECT_TRUE(transport_.internetGetLastResponseInfo(code, buffer.data(), length));
    EXPECT_EQ(length, expected.size());
    EXPECT_EQ(std::string(buffer.c_str()), expected);

    // Room for the text alone is too small: the NUL needs room.
    std::uint32_t tight = static_cast<std::uint32_t>(expected.size());
    EXPECT_FALSE(transport_.internetGetLastResponseInfo(code, buffer.data(), tight));
}

TEST_F(HandleTest, LastErrorAndResponseBelongToTheThread) {
    Handle connection = connect();
    ASSERT_TRUE(transport_.ftpSetCurrentDirectory(connection, "/"));
    std::string mine = lastResponse(transport_);

    std::uint32_t otherError = 0;
    std::string otherResponse;
    std::thread other([&] {
        Handle second = connect();
        transport_.ftpSetCurrentDirectory(second, "/absent");
        otherError = lastError();
        otherResponse = lastResponse(transport_);
    });
    other.join();
    EXPECT_EQ(otherError, error::kExtendedError);
    EXPECT_EQ(otherResponse.rfind("550 ", 0), 0u);
    EXPECT_EQ(lastError(), 0u);
    EXPECT_EQ(lastResponse(transport_), mine);
}

}  // namespace
}  // namespace varnox::ftp::test
