// Get and put against a real server, byte for byte.
#include <algorithm>
#include <filesystem>
#include <thread>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

using namespace std::chrono_literals;
using Files = std::vector<std::string>;

Files namesIn(const std::filesystem::path& folder) {
    Files names;
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
};

INSTANTIATE_TEST_SUITE_P(Modes, TransferTest, ::testing::Values(kFlagPassive, 0u),
                         [](const auto& info) {
                             return std::string(info.param != 0 ? "Passive" : "Active");
                         });

// What ASCII mode does to line ends with pyftpdlib on Linux:
// put  - the file's line ends (LF or CRLF) go out as CRLF, the server stores LF; a lone CR
//        inside a line stays.
// get  - the server sends CRLF for LF (CRLF stays), libcurl stores LF for CRLF and for a
//        lone CR as well.
TEST_P(TransferTest, MovesTheBytesTheTransferTypeSays) {
    std::string bytes;
    for (int value = 0; value < 3 * 256; ++value) {
        bytes += static_cast<char>(value);
    }
    bytes += "\r\n\n\r";
    const std::string text = "one\ntwo\r\nthree\rfour\n";
    struct Case {
        std::string sent;
        std::uint32_t type;
        std::string stored;  // on the server after a put
        std::string got;     // locally after a get
    };
    const Case cases[] = {
        {bytes, kTransferBinary, bytes, bytes},
        {bytes, 0, bytes, bytes},  // 0 is binary too
        {"", kTransferBinary, "", ""},
        {text, kTransferAscii, "one\ntwo\nthree\rfour\n", "one\ntwo\nthree\nfour\n"},
        {text, kTransferBinary, text, text},  // binary again after ASCII
    };
    for (const Case& c : cases) {
        writeFile(local_ / "up", c.sent);
        ASSERT_TRUE(put(local_ / "up", "file", c.type)) << lastError() << lastResponse(transport_);
        EXPECT_EQ(readFile(root_ / "file"), c.stored) << c.type;
        writeFile(root_ / "file", c.sent);
        ASSERT_TRUE(get("file", local_ / "down", false, c.type));
        EXPECT_EQ(readFile(local_ / "down"), c.got) << c.type;
    }
}

// A failed get leaves an existing local file as it was and no temporary file; local
// problems have their own numbers.
TEST_P(TransferTest, AFailedTransferChangesNothing) {
    writeFile(root_ / "map.unr", "server copy");
    std::filesystem::create_directory(root_ / "Maps");
    writeFile(local_ / "map.unr", "local copy");
    std::filesystem::create_directory(local_ / "folder");
    struct Get {
        const char* name;
        std::filesystem::path target;
        bool failIfExists;
        std::uint32_t error;
    };
    const Get gets[] = {
        {"map.unr", local_ / "map.unr", true, error::kFileExists},
        {"missing.unr", local_ / "map.unr", false, error::kExtendedError},
        {"Maps", local_ / "map.unr", false, error::kExtendedError},  // a folder is no file
        {"map.unr", local_ / "nowhere" / "map.unr", false, error::kPathNotFound},
        {"map.unr", local_ / "map.unr" / "x", false, error::kPathNotFound},
        {"map.unr", local_ / "folder", false, error::kAccessDenied},
        {"map.unr", local_ / "folder" / ".", false, error::kInvalidParameter},
        {"map.unr", local_ / "folder" / "..", false, error::kInvalidParameter},
        {"map.unr", local_ / "folder" / "", false, error::kInvalidParameter},
    };
    for (const Get& c : gets) {
        EXPECT_TRUE(failsWith(get(c.name, c.target, c.failIfExists), c.error)) << c.target;
        if (c.error == error::kExtendedError) {
            EXPECT_EQ(lastResponse(transport_).rfind("550 ", 0), 0u) << lastResponse(transport_);
        }
    }
    const std::pair<std::filesystem::path, std::uint32_t> puts[] = {
        {local_ / "absent.uz", error::kFileNotFound},
        {local_ / "nowhere" / "absent.uz", error::kPathNotFound},
        {local_ / "folder", error::kAccessDenied},
    };
    for (const auto& [source, code] : puts) {
        EXPECT_TRUE(failsWith(put(source, "x.uz"), code)) << source;
    }
    EXPECT_FALSE(std::filesystem::exists(root_ / "x.uz"));
    EXPECT_EQ(readFile(local_ / "map.unr"), "local copy");
    EXPECT_EQ(namesIn(local_.path()), (Files{"folder", "map.unr"}));
    EXPECT_TRUE(std::filesystem::is_empty(local_ / "folder"));

    ASSERT_TRUE(get("map.unr", local_ / "map.unr"));
    EXPECT_EQ(readFile(local_ / "map.unr"), "server copy");
    EXPECT_EQ(namesIn(local_.path()), (Files{"folder", "map.unr"}));
}

using SlowDownload = ServerTest;

// A download from a slow server (4 MiB at 256 KiB/s) over an older local file ends when
// another thread closes the connection, and after the stall time when the server stops
// sending; either way the older file stays as it was, with no partial file beside it.
TEST_F(SlowDownload, EndsWhenClosedOrStalledAndKeepsTheOlderFile) {
    writeFile(root_ / "big.bin", std::string(4 << 20, 'x'));
    writeFile(local_ / "big.bin", "older copy");
    FtpServerOptions options;
    options.throttleBytesPerSecond = 256 * 1024;
    serve(options);
    transport_.setTimeouts(Timeouts{5s, 5s, 1s});
    for (bool stall : {false, true}) {
        connection_ = connect();
        bool result = true;
        std::uint32_t error = 0;
        std::thread worker([&] {
            result = get("big.bin", local_ / "big.bin");
            error = lastError();
        });
        // Until the download has created its temporary file.
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (namesIn(local_.path()).size() == 1 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        EXPECT_EQ(namesIn(local_.path()).size(), 2u) << "the download started";
        if (stall) {
            server().stopAnswering();
        } else {
            EXPECT_TRUE(failsWith(cd("/"), error::kTransferInProgress)) << "busy meanwhile";
            EXPECT_TRUE(transport_.internetCloseHandle(connection_));
        }
        auto ending = std::chrono::steady_clock::now();
        worker.join();
        EXPECT_LT(std::chrono::steady_clock::now() - ending, 30s);
        EXPECT_FALSE(result);
        EXPECT_EQ(error, stall ? error::kTimeout : error::kOperationCancelled);
        EXPECT_EQ(readFile(local_ / "big.bin"), "older copy");
        EXPECT_EQ(namesIn(local_.path()), Files{"big.bin"});
    }
}

}  // namespace
}  // namespace varnox::ftp::test
