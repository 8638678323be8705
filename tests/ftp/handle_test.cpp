// Handles, the thread's last error and the last response text.
#include <thread>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

using HandleTest = ServerTest;

TEST_F(HandleTest, ClosedAndForeignHandlesAreRefused) {
    writeFile(root_ / "f", "1");
    connection_ = connect();
    FindData data;
    Handle find = transport_.ftpFindFirstFile(connection_, "*.*", data, 0, 0);
    ASSERT_NE(find, kNoHandle);
    Handle second = transport_.ftpFindFirstFile(connection_, "*.*", data, 0, 0);
    ASSERT_NE(second, find) << "two finds on one connection";
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(failsWith(transport_.internetFindNextFile(find, data), error::kNoMoreFiles));
    }

    // Handles of the wrong kind.
    EXPECT_TRUE(failsWith(transport_.ftpSetCurrentDirectory(session_, "/"), error::kInvalidHandle));
    EXPECT_TRUE(failsWith(transport_.ftpSetCurrentDirectory(find, "/"), error::kInvalidHandle));
    EXPECT_TRUE(
        failsWith(transport_.internetFindNextFile(connection_, data), error::kInvalidHandle));
    EXPECT_TRUE(failsWith(transport_.internetCloseHandle(kNoHandle), error::kInvalidHandle));
    EXPECT_TRUE(failsWith(transport_.internetConnect(connection_, server().address(), 0, kUser,
                                                     kPassword, kServiceFtp, kFlagPassive, 0),
                          error::kInvalidHandle));

    // Closing a connection closes its finds; closing the session closes its connections.
    Handle other = connect();
    ASSERT_TRUE(transport_.internetCloseHandle(find));
    EXPECT_TRUE(failsWith(transport_.internetCloseHandle(find), error::kInvalidHandle));
    ASSERT_TRUE(transport_.internetCloseHandle(connection_));
    EXPECT_TRUE(failsWith(transport_.internetFindNextFile(second, data), error::kInvalidHandle));
    ASSERT_TRUE(transport_.internetCloseHandle(session_));
    EXPECT_EQ(lastError(), 0u);
    EXPECT_TRUE(failsWith(transport_.internetCloseHandle(session_), error::kInvalidHandle));
    connection_ = other;
    EXPECT_TRUE(failsWith(cd("/"), error::kInvalidHandle));
    EXPECT_TRUE(failsWith(get("f", local_ / "f"), error::kInvalidHandle));
    EXPECT_TRUE(failsWith(put(root_ / "f", "g"), error::kInvalidHandle));
    EXPECT_TRUE(failsWith(transport_.ftpFindFirstFile(connection_, "*.*", data, 0, 0),
                          error::kInvalidHandle));
}

TEST_F(HandleTest, ResponseTextInTheTwoCallForm) {
    connection_ = connect();
    ASSERT_TRUE(failsWith(cd("/absent"), error::kExtendedError));
    std::string expected = lastResponse(transport_);
    ASSERT_FALSE(expected.empty());

    // First call: no buffer, length 0, to learn the length.
    std::uint32_t code = 0;
    std::uint32_t length = 0;
    EXPECT_TRUE(failsWith(transport_.internetGetLastResponseInfo(code, nullptr, length),
                          error::kInsufficientBuffer));
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
    connection_ = connect();
    ASSERT_TRUE(cd("/"));
    std::string mine = lastResponse(transport_);
    std::string otherResponse;
    std::thread other([&] {
        EXPECT_TRUE(failsWith(transport_.ftpSetCurrentDirectory(connect(), "/absent"),
                              error::kExtendedError));
        otherResponse = lastResponse(transport_);
    });
    other.join();
    EXPECT_EQ(otherResponse.rfind("550 ", 0), 0u);
    EXPECT_EQ(lastError(), 0u);
    EXPECT_EQ(lastResponse(transport_), mine);
}

}  // namespace
}  // namespace varnox::ftp::test
