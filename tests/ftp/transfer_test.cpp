// Get and put against a real server, byte for byte.
#include <algorithm>
#include <filesystem>
#include <thread>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

std::string allByteValues() {
    std::string bytes;
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value) {
            bytes += static_cast<char>(value);
        }
    }
    return bytes + "\r\n\n\r";
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Each transfer test runs in passive and in active mode.
class TransferTest : public ServerTest, public ::testing::WithParamInterface<std::uint32_t> {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        connection_ = connect(GetParam());
        ASSERT_NE(connection_, kNoHandle);
    }

    Handle connection_ = kNoHandle;
};

INSTANTIATE_TEST_SUITE_P(Modes, TransferTest, ::testing::Values(kFlagPassive, 0u),
                         [](const auto& info) {
                             return std::string(info.param != 0 ? "Passive" : "Active");
                         });

TEST_P(TransferTest, BinaryKeepsEveryByte) {
    const std::string bytes = allByteValues();
    writeFile(local_ / "all.bin", bytes);
    ASSERT_TRUE(transport_.ftpPutFile(connection_, local_ / "all.bin", "all.bin", kTransferBinary))
        << lastError() << " " << lastResponse(transport_);
    EXPECT_EQ(readFile(root_ / "all.bin"), bytes);

    ASSERT_TRUE(transport_.ftpGetFile(connection_, "all.bin", local_ / "back.bin", false,
                                      0x80000000, kTransferBinary));
    EXPECT_EQ(readFile(local_ / "back.bin"), bytes);

    // Flags 0 is binary too; an empty file is a file.
    writeFile(root_ / "empty", "");
    ASSERT_TRUE(transport_.ftpGetFile(connection_, "empty", local_ / "empty", false, 0, 0));
    EXPECT_EQ(readFile(local_ / "empty"), "");
}

// What ASCII mode does to line ends with pyftpdlib on Linux:
// put  - the file's line ends (LF or CRLF) go out as CRLF, the server stores LF; a lone CR
//        inside a line stays.
// get  - the server sends CRLF for LF (CRLF stays), libcurl stores LF for CRLF and for a
//        lone CR as well.
TEST_P(TransferTest, AsciiTurnsLineEndsIntoLf) {
    writeFile(local_ / "text.ini", "one\ntwo\r\nthree\rfour\n");
    ASSERT_TRUE(transport_.ftpPutFile(connection_, local_ / "text.ini", "text.ini", kTransferAscii))
        << lastError() << " " << lastResponse(transport_);
    EXPECT_EQ(readFile(root_ / "text.ini"), "one\ntwo\nthree\rfour\n");

    writeFile(root_ / "server.txt", "one\ntwo\r\nthree\rfour\n");
    ASSERT_TRUE(transport_.ftpGetFile(connection_, "server.txt", local_ / "server.txt", false, 0,
                                      kTransferAscii));
    EXPECT_EQ(readFile(local_ / "server.txt"), "one\ntwo\nthree\nfour\n");

    // Binary after ASCII on the same connection is binary again.
    ASSERT_TRUE(transport_.ftpGetFile(connection_, "server.txt", local_ / "raw.txt", false, 0,
                                      kTransferBinary));
    EXPECT_EQ(readFile(local_ / "raw.txt"), "one\ntwo\r\nthree\rfour\n");
}

TEST_P(TransferTest, FailIfExistsKeepsTheLocalFile) {
    writeFile(root_ / "map.unr", "server copy");
    writeFile(local_ / "map.unr", "local copy");
    EXPECT_FALSE(transport_.ftpGetFile(connection_, "map.unr", local_ / "map.unr", true, 0,
                                       kTransferBinary));
    EXPECT_EQ(lastError(), error::kFileExists);
    EXPECT_EQ(readFile(local_ / "map.unr"), "local copy");

    ASSERT_TRUE(transport_.ftpGetFile(connection_, "map.unr", local_ / "map.unr", false, 0,
                                      kTransferBinary));
    EXPECT_EQ(readFile(local_ / "map.unr"), "server copy");
    EXPECT_EQ(namesIn(local_.path()), std::vector<std::string>{"map.unr"});
}

TEST_P(TransferTest, FailedGetLeavesTheLocalFileAlone) {
    writeFile(local_ / "keep.unr", "precious");
    EXPECT_FALSE(transport_.ftpGetFile(connection_, "missing.unr", local_ / "keep.unr", false, 0,
                                       kTransferBinary));
    EXPECT_EQ(lastError(), error::kExtendedError);
    EXPECT_EQ(lastResponse(transport_).rfind("550 ", 0), 0u) << lastResponse(transport_);
    EXPECT_EQ(readFile(local_ / "keep.unr"), "precious");
    EXPECT_EQ(namesIn(local_.path()), std::vector<std::string>{"keep.unr"});

    // A folder is no file to get either.
    std::filesystem::create_directory(root_ / "Maps");
    EXPECT_FALSE(
        transport_.ftpGetFile(connection_, "Maps", local_ / "keep.unr", false, 0, kTransferBinary));
    EXPECT_EQ(lastError(), error::kExtendedError);
    EXPECT_EQ(readFile(local_ / "keep.unr"), "precious");
    EXPECT_EQ(namesIn(local_.path()), std::vector<std::string>{"keep.unr"});
}

TEST_P(TransferTest, LocalProblemsHaveTheirOwnNumbers) {
    writeFile(root_ / "pkg.uz", "data");
    std::filesystem::create_directory(local_ / "folder");
    struct GetCase {
        const char* what;
        std::filesystem::path target;
        std::uint32_t error;
    };
    const GetCase gets[] = {
        {"missing folder", local_ / "nowhere" / "pkg.uz", error::kPathNotFound},
        {"onto a folder", local_ / "folder", error::kAccessDenied},
        {"dot", local_ / "folder" / ".", error::kInvalidParameter},
        {"dot dot", local_ / "folder" / "..", error::kInvalidParameter},
    };
    for (const GetCase& c : gets) {
        EXPECT_FALSE(
            transport_.ftpGetFile(connection_, "pkg.uz", c.target, false, 0, kTransferBinary))
            << c.what;
        EXPECT_EQ(lastError(), c.error) << c.what;
    }
    struct PutCase {
        const char* what;
        std::filesystem::path source;
        std::uint32_t error;
    };
    const PutCase puts[] = {
        {"missing file", local_ / "absent.uz", error::kFileNotFound},
        {"missing folder", local_ / "nowhere" / "absent.uz", error::kPathNotFound},
        {"a folder", local_ / "folder", error::kAccessDenied},
    };
    for (const PutCase& c : puts) {
        EXPECT_FALSE(transport_.ftpPutFile(connection_, c.source, "x.uz", kTransferBinary))
            << c.what;
        EXPECT_EQ(lastError(), c.error) << c.what;
    }
    EXPECT_FALSE(std::filesystem::exists(root_ / "x.uz"));
    EXPECT_EQ(namesIn(local_.path()), std::vector<std::string>{"folder"});
}

TEST_P(TransferTest, RefusesNamesThatWouldInjectCommands) {
    writeFile(root_ / "victim", "still here");
    writeFile(local_ / "pkg.uz", "data");
    const std::string names[] = {"x\r\nDELE victim", "x\nDELE victim", std::string("x\0y", 3), "",
                                 "dir/"};
    for (const std::string& name : names) {
        EXPECT_FALSE(transport_.ftpPutFile(connection_, local_ / "pkg.uz", name, kTransferBinary));
        EXPECT_EQ(lastError(), error::kInvalidParameter);
        EXPECT_FALSE(
            transport_.ftpGetFile(connection_, name, local_ / "out", false, 0, kTransferBinary));
        EXPECT_EQ(lastError(), error::kInvalidParameter);
    }
    EXPECT_EQ(readFile(root_ / "victim"), "still here");
    EXPECT_FALSE(transport_.ftpPutFile(connection_, local_ / "pkg.uz", "pkg.uz", 3));
    EXPECT_EQ(lastError(), error::kInvalidParameter);
}

// Waits until a download into folder has created its temporary file.
bool downloadStarted(const std::filesystem::path& folder, std::size_t filesBefore) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (namesIn(folder).size() == filesBefore) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// A download whose server stops sending ends after the stall time and leaves the older
// local file as it was, with no partial file beside it.
TEST(Stall, StalledDownloadTimesOut) {
    TempDir root;
    TempDir local;
    writeFile(root / "big.bin", std::string(4 << 20, 'x'));
    writeFile(local / "big.bin", "older copy");
    FtpServerOptions options;
    options.accounts.push_back(account(root.path()));
    options.throttleBytesPerSecond = 256 * 1024;
    FtpServer server(options);
    Transport transport(
        Timeouts{std::chrono::seconds(5), std::chrono::seconds(5), std::chrono::seconds(1)});
    Handle session = transport.internetOpen(kAgent, kAccessDirect);
    Handle connection = transport.internetConnect(session, server.address(), 0, kUser, kPassword,
                                                  kServiceFtp, kFlagPassive, 0);
    ASSERT_NE(connection, kNoHandle);

    bool result = true;
    std::uint32_t error = 0;
    std::thread worker([&] {
        result = transport.ftpGetFile(connection, "big.bin", local / "big.bin", false, 0,
                                      kTransferBinary);
        error = lastError();
    });
    bool started = downloadStarted(local.path(), 1);
    server.stopAnswering();
    auto frozen = std::chrono::steady_clock::now();
    worker.join();
    ASSERT_TRUE(started);
    EXPECT_FALSE(result);
    EXPECT_EQ(error, error::kTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - frozen, std::chrono::seconds(30));
    EXPECT_EQ(readFile(local / "big.bin"), "older copy");
    EXPECT_EQ(namesIn(local.path()), std::vector<std::string>{"big.bin"});
}

// Closing a connection from another thread ends the transfer running on it; the download
// leaves nothing behind, and the connection refuses a second caller meanwhile.
TEST(Cancel, ClosingTheConnectionEndsARunningDownload) {
    TempDir root;
    TempDir local;
    writeFile(root / "big.bin", std::string(4 << 20, 'x'));
    FtpServerOptions options;
    options.accounts.push_back(account(root.path()));
    options.throttleBytesPerSecond = 256 * 1024;
    FtpServer server(options);
    Transport transport(testTimeouts());
    Handle session = transport.internetOpen(kAgent, kAccessDirect);
    Handle connection = transport.internetConnect(session, server.address(), 0, kUser, kPassword,
                                                  kServiceFtp, kFlagPassive, 0);
    ASSERT_NE(connection, kNoHandle);

    bool result = true;
    std::uint32_t error = 0;
    std::thread worker([&] {
        result = transport.ftpGetFile(connection, "big.bin", local / "big.bin", false, 0,
                                      kTransferBinary);
        error = lastError();
    });
    if (!downloadStarted(local.path(), 0)) {
        transport.internetCloseHandle(connection);
        worker.join();
        FAIL() << "the download did not start: " << error;
    }
    EXPECT_FALSE(transport.ftpSetCurrentDirectory(connection, "/"));
    EXPECT_EQ(lastError(), error::kTransferInProgress);

    EXPECT_TRUE(transport.internetCloseHandle(connection));
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(error, error::kOperationCancelled);
    EXPECT_TRUE(namesIn(local.path()).empty());
    EXPECT_FALSE(transport.ftpSetCurrentDirectory(connection, "/"));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
}

}  // namespace
}  // namespace varnox::ftp::test
