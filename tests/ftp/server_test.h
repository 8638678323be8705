#pragma once

// Shared parts of the tests that run the transport against a real FTP server.

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ftp/transport.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/temp_dir.h"

namespace varnox::ftp::test {

using varnox::test::FtpAccount;
using varnox::test::FtpServer;
using varnox::test::FtpServerOptions;
using varnox::test::readFile;
using varnox::test::TempDir;
using varnox::test::writeFile;

inline constexpr const char* kUser = "admin";
inline constexpr const char* kPassword = "s3cret";
inline constexpr const char* kAgent = "vb wininet";

// Short enough that a broken test fails quickly, long enough for a loaded machine.
inline Timeouts testTimeouts() {
    return Timeouts{std::chrono::seconds(10), std::chrono::seconds(10), std::chrono::seconds(10)};
}

inline FtpAccount account(const std::filesystem::path& home) {
    FtpAccount a;
    a.name = kUser;
    a.password = kPassword;
    a.home = home;
    return a;
}

// The thread's last response text.
inline std::string lastResponse(Transport& transport) {
    std::uint32_t code = 0;
    std::string text;
    transport.internetGetLastResponseInfo(code, text);
    return text;
}

// Every entry of the current directory through find-first and find-next, as the window
// reads them. Fails the test on any error but the end of the listing.
inline std::vector<FindData> listAll(Transport& transport, Handle connection) {
    std::vector<FindData> entries;
    FindData data;
    Handle find = transport.ftpFindFirstFile(connection, "*.*", data, 0, 0);
    if (find == kNoHandle) {
        EXPECT_EQ(lastError(), error::kNoMoreFiles);
        return entries;
    }
    do {
        entries.push_back(data);
    } while (transport.internetFindNextFile(find, data));
    EXPECT_EQ(lastError(), error::kNoMoreFiles);
    transport.internetCloseHandle(find);
    return entries;
}

inline std::set<std::string> namesOf(const std::vector<FindData>& entries) {
    std::set<std::string> names;
    for (const FindData& e : entries) {
        names.insert(e.name);
    }
    return names;
}

// A server over a fresh folder with one account, a session and a connection to it.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<FtpServer>(kUser, kPassword, root_.path());
        session_ = transport_.internetOpen(kAgent, kAccessDirect, "", "", 0);
        ASSERT_NE(session_, kNoHandle);
    }

    // Connects in passive mode unless told otherwise.
    Handle connect(std::uint32_t flags = kFlagPassive) {
        Handle connection = transport_.internetConnect(session_, server_->address(), 0, kUser,
                                                       kPassword, kServiceFtp, flags, 0);
        EXPECT_NE(connection, kNoHandle)
            << "error " << lastError() << ": " << lastResponse(transport_);
        return connection;
    }

    TempDir root_;   // the server's folder
    TempDir local_;  // the client's folder
    std::unique_ptr<FtpServer> server_;
    Transport transport_{testTimeouts()};
    Handle session_ = kNoHandle;
};

}  // namespace varnox::ftp::test
