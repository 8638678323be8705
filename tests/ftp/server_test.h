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
using Names = std::set<std::string>;

inline constexpr const char* kUser = "admin";
inline constexpr const char* kPassword = "s3cret";
inline constexpr const char* kAgent = "vb wininet";

// Short enough that a broken test fails quickly, long enough for a loaded machine.
inline Timeouts testTimeouts() {
    return Timeouts{std::chrono::seconds(10), std::chrono::seconds(10), std::chrono::seconds(10)};
}

// A call's result (a handle or a bool) failed and left error as the thread's last error.
inline ::testing::AssertionResult failsWith(std::uint32_t result, std::uint32_t error) {
    if (result == 0 && lastError() == error) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "result " << result << ", error " << lastError() << " instead of " << error;
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

// A session, a server over root_ (started by the first connect unless serve() started one
// with other options) and calls that act on connection_.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = transport_.internetOpen(kAgent, kAccessDirect, "", "", 0);
        ASSERT_NE(session_, kNoHandle);
    }

    // Starts the server; an account kUser over root_ is added when the options name none.
    void serve(FtpServerOptions options = {}) {
        if (options.accounts.empty()) {
            options.accounts.push_back(account());
        }
        server_ = std::make_unique<FtpServer>(std::move(options));
    }
    FtpServer& server() {
        if (!server_) {
            serve();
        }
        return *server_;
    }
    FtpAccount account() const {
        FtpAccount a;
        a.name = kUser;
        a.password = kPassword;
        a.home = root_.path();
        return a;
    }

    Handle connectTo(const std::string& name, std::uint16_t port = 0,
                     const std::string& user = kUser, const std::string& password = kPassword,
                     std::uint32_t flags = kFlagPassive) {
        return transport_.internetConnect(session_, name, port, user, password, kServiceFtp, flags,
                                          0);
    }
    // Connects to the server in passive mode unless told otherwise.
    Handle connect(std::uint32_t flags = kFlagPassive) {
        Handle connection = connectTo(server().address(), 0, kUser, kPassword, flags);
        EXPECT_NE(connection, kNoHandle)
            << "error " << lastError() << ": " << lastResponse(transport_);
        return connection;
    }

    Names names(Handle connection = kNoHandle) {
        Names names;
        for (const FindData& e : listAll(transport_, connection ? connection : connection_)) {
            names.insert(e.name);
        }
        return names;
    }
    bool cd(const std::string& directory) {
        return transport_.ftpSetCurrentDirectory(connection_, directory);
    }
    bool get(const std::string& name, const std::filesystem::path& target,
             bool failIfExists = false, std::uint32_t type = kTransferBinary) {
        return transport_.ftpGetFile(connection_, name, target, failIfExists, 0, type);
    }
    bool put(const std::filesystem::path& source, const std::string& name,
             std::uint32_t type = kTransferBinary) {
        return transport_.ftpPutFile(connection_, source, name, type);
    }

    TempDir root_;   // the server's folder
    TempDir local_;  // the client's folder
    std::unique_ptr<FtpServer> server_;
    Transport transport_{testTimeouts()};
    Handle session_ = kNoHandle;
    Handle connection_ = kNoHandle;
};

}  // namespace varnox::ftp::test
