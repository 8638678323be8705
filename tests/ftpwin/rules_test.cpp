#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/errors.h"
#include "ftp/window/error_report.h"
#include "ftp/window/remote_listing.h"
#include "ftp/window/remote_paths.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/temp_dir.h"

namespace varnox::test {
namespace {

using namespace varnox::ftpwin;

TEST(RemoteDirectory, StripsTheServerNameOnlyWhereThePathStartsWithIt) {
    struct Case {
        const char* path;
        const char* server;
        const char* expected;
    };
    const Case cases[] = {
        {"S", "S", "/"},
        {"S/d", "S", "/d"},
        {"S/d/e", "S", "/d/e"},
        {"S/maps/", "S", "/maps/"},
        {"127.0.0.1:2121/maps", "127.0.0.1:2121", "/maps"},
        // The name elsewhere in the path is part of the path.
        {"/S/d", "S", "/S/d"},
        {"x/S", "S", "x/S"},
        {"S/S/d", "S", "/S/d"},
        // No server name in it: passed on as it is.
        {"\\", "S", "\\"},
        {"/", "S", "/"},
        {"other/d", "S", "other/d"},
        // An emptied server box strips nothing.
        {"S/d", "", "S/d"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(remoteDirectory(c.path, c.server), c.expected) << c.path << " with " << c.server;
    }
}

TEST(SplitNodePath, SplitsAtTheLastSlash) {
    struct Case {
        const char* path;
        NodePathParts expected;
    };
    const Case cases[] = {
        {"S/maps/a.uz", {"S/maps/", "a.uz"}},
        {"S/readme.txt", {"S/", "readme.txt"}},
        {"S", {"", "S"}},
        {"S/d/", {"S/d/", ""}},
        {"S/..", {"S/", ".."}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitNodePath(c.path), c.expected) << c.path;
    }
}

TEST(UploadDirectory, TakesTheServerNameOffTheNodesText) {
    EXPECT_EQ(uploadDirectory("S/maps", "S"), "/maps");
    EXPECT_EQ(uploadDirectory("S/maps/sub", "S"), "/maps/sub");
    EXPECT_EQ(uploadDirectory("S", "S"), "/") << "the root is the server's root, written /";
    EXPECT_EQ(uploadDirectory("Server/maps", "Server/maps"), "/");
    // A server box edited while connected: as many characters as it holds go.
    EXPECT_EQ(uploadDirectory("S/maps", "X"), "/maps");
    EXPECT_EQ(uploadDirectory("S/maps", "XYZ"), "aps");
    // Longer than the node's text: no directory to take.
    EXPECT_EQ(uploadDirectory("S", "S.example"), std::nullopt);
    EXPECT_EQ(uploadDirectory("S/d", "longer name"), std::nullopt);
}

TEST(DirectoryEntry, TheDirectoryBitCountsInValuesThatFitSixteenBits) {
    struct Case {
        std::uint32_t attributes;
        bool directory;
    };
    const Case cases[] = {
        {16, true},           // directory
        {17, true},           // read-only directory
        {18, true},           // hidden directory
        {0x30, true},         // directory, archive
        {0xFFFF, true},       // every bit of 16
        {0, false},           // nothing set
        {1, false},           // read-only file
        {32, false},          // archive
        {128, false},         // normal file
        {0x10000, false},     // beyond 16 bits
        {0x10010, false},     // beyond 16 bits, directory bit set
        {0x80000010, false},  // the same, far beyond
        {0xFFFFFFFF, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isDirectoryEntry(c.attributes), c.directory) << c.attributes;
    }
}

TEST(ErrorReport, TextsOfTheTwoMessages) {
    EXPECT_EQ(closeQuestionText("FtpGetFile", 12003),
              "FtpGetFile Err: 12003\r\nClose Connection and Session?");
    EXPECT_EQ(closeQuestionText("InternetConnect", 12029),
              "InternetConnect Err: 12029\r\nClose Connection and Session?");
    EXPECT_EQ(extendedErrorText("rcd", 550, "550 No such file or directory.\r\n"),
              "rcd Extd Err: 550 550 No such file or directory.\r\n");
    EXPECT_EQ(extendedErrorText("FtpPutFile", 0, ""), "FtpPutFile Extd Err: 0 ");
}

// Listings against a real server.
class Listing : public ::testing::Test {
protected:
    void start(std::optional<std::string> canned = std::nullopt) {
        FtpServerOptions options;
        FtpAccount account;
        account.name = "u";
        account.password = "p";
        account.home = dir_.path();
        options.accounts.push_back(account);
        options.cannedListing = std::move(canned);
        server_ = std::make_unique<FtpServer>(std::move(options));
        session_ = transport_.internetOpen("vb wininet", ftp::kAccessDirect);
        connection_ = transport_.internetConnect(session_, server_->address(), 0, "u", "p",
                                                 ftp::kServiceFtp, ftp::kFlagPassive, 0);
        ASSERT_NE(connection_, ftp::kNoHandle) << ftp::lastError();
    }

    static std::string fileLine(const std::string& name) {
        return "-rw-r--r--   1 owner    group           5 Jan 01 12:00 " + name + "\r\n";
    }

    TempDir dir_;
    std::unique_ptr<FtpServer> server_;
    ftp::Transport transport_;
    ftp::Handle session_ = ftp::kNoHandle;
    ftp::Handle connection_ = ftp::kNoHandle;
};

TEST_F(Listing, ReadsEveryEntryWithItsKind) {
    std::filesystem::create_directories(dir_ / "maps");
    writeFile(dir_ / "readme.txt", "x");
    start();
    RemoteListing listing;
    ListingEnd end = readCurrentDirectory(transport_, connection_, listing);
    EXPECT_EQ(end.kind, ListingEnd::Kind::kComplete);
    EXPECT_FALSE(end.truncated);
    ASSERT_EQ(listing.size(), 2u);
    ASSERT_EQ(listing.colAttributes.size(), 2u);
    for (std::size_t i = 0; i < listing.size(); ++i) {
        EXPECT_EQ(isDirectoryEntry(listing.colAttributes[i]), listing.colNames[i] == "maps")
            << listing.colNames[i];
    }
    listing.clear();
    EXPECT_TRUE(listing.empty());
    EXPECT_TRUE(listing.colAttributes.empty());
}

TEST_F(Listing, AnEmptyDirectoryIsNoFailure) {
    start();
    RemoteListing listing;
    ListingEnd end = readCurrentDirectory(transport_, connection_, listing);
    EXPECT_EQ(end.kind, ListingEnd::Kind::kEmpty);
    EXPECT_TRUE(listing.empty());
}

TEST_F(Listing, StopsAtTheLimitAndSaysSo) {
    std::string text;
    for (std::size_t i = 0; i < kMaxListedEntries + 2; ++i) {
        text += fileLine("f" + std::to_string(i));
    }
    start(text);
    RemoteListing listing;
    ListingEnd end = readCurrentDirectory(transport_, connection_, listing);
    EXPECT_EQ(end.kind, ListingEnd::Kind::kComplete);
    EXPECT_TRUE(end.truncated);
    ASSERT_EQ(listing.size(), kMaxListedEntries);
    EXPECT_EQ(listing.colNames.back(), "f" + std::to_string(kMaxListedEntries - 1));
}

TEST_F(Listing, ExactlyTheLimitIsNotCut) {
    std::string text;
    for (std::size_t i = 0; i < kMaxListedEntries; ++i) {
        text += fileLine("f" + std::to_string(i));
    }
    start(text);
    RemoteListing listing;
    ListingEnd end = readCurrentDirectory(transport_, connection_, listing);
    EXPECT_FALSE(end.truncated);
    EXPECT_EQ(listing.size(), kMaxListedEntries);
}

TEST_F(Listing, AFailedListingNamesTheCall) {
    start();
    transport_.internetCloseHandle(connection_);
    RemoteListing listing;
    ListingEnd end = readCurrentDirectory(transport_, connection_, listing);
    EXPECT_EQ(end.kind, ListingEnd::Kind::kFailed);
    EXPECT_STREQ(end.failedCall, "FtpFindFirstFile");
    EXPECT_EQ(end.error, ftp::error::kInvalidHandle);
}

TEST_F(Listing, TheServersLastReplyComesInTwoSteps) {
    start();
    EXPECT_FALSE(transport_.ftpSetCurrentDirectory(connection_, "/missing"));
    ASSERT_EQ(ftp::lastError(), ftp::error::kExtendedError);
    ServerResponse response = lastServerResponse(transport_);
    EXPECT_EQ(response.number, 550u);
    EXPECT_TRUE(response.text.starts_with("550 ")) << response.text;
    EXPECT_TRUE(response.text.ends_with("\r\n")) << response.text;
}

}  // namespace
}  // namespace varnox::test
