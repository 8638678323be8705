// Listings through find-first and find-next against a real server.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

using FindTest = ServerTest;

TEST_F(FindTest, EmptyDirectoryEndsAtOnce) {
    Handle connection = connect();
    FindData data;
    EXPECT_EQ(transport_.ftpFindFirstFile(connection, "*.*", data, 0, 0), kNoHandle);
    EXPECT_EQ(lastError(), error::kNoMoreFiles);
}

TEST_F(FindTest, GivesNamesAsTheyAreOnTheServer) {
    // Every one of these must come back unchanged and be fetchable by the name listed.
    const std::vector<std::string> files = {
        "plain.uz",
        "My Map.unr",
        "in ner  two",
        " lead",
        "trail ",
        "a#b",
        "50%",
        "what?",
        "semi;colon",
        "Gr\xc3\xb6\xc3\x9f"
        "e.uz",
        "lat\xe9"
        "1.utx",
        "x+y=z&w",
        "-dash",
        "...",
    };
    for (const std::string& name : files) {
        writeFile(root_ / name, "content of " + name);
    }
    std::filesystem::create_directory(root_ / "Music Files");

    Handle connection = connect();
    std::vector<FindData> entries = listAll(transport_, connection);
    std::set<std::string> expected(files.begin(), files.end());
    expected.insert("Music Files");
    EXPECT_EQ(namesOf(entries), expected);
    for (const FindData& entry : entries) {
        std::uint32_t attributes = entry.name == "Music Files" ? 16u : 128u;
        EXPECT_EQ(entry.attributes, attributes) << entry.name;
    }

    for (const std::string& name : files) {
        std::filesystem::path target = local_ / "fetched";
        ASSERT_TRUE(transport_.ftpGetFile(connection, name, target, false, 0, kTransferBinary))
            << "\"" << name << "\": " << lastError() << " " << lastResponse(transport_);
        EXPECT_EQ(readFile(target), "content of " + name);
    }
}

TEST_F(FindTest, ReadsListingsBeyond32767Entries) {
    constexpr int kCount = 33000;
    for (int i = 0; i < kCount; ++i) {
        std::ofstream(root_ / ("f" + std::to_string(i) + ".uz"));
    }
    Handle connection = connect();
    std::vector<FindData> entries = listAll(transport_, connection);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(kCount));
    std::set<std::string> names = namesOf(entries);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kCount));
    EXPECT_TRUE(names.count("f0.uz"));
    EXPECT_TRUE(names.count("f32999.uz"));
}

TEST_F(FindTest, FindHandlesEndAndClose) {
    writeFile(root_ / "a", "1");
    writeFile(root_ / "b", "2");
    Handle connection = connect();
    FindData data;
    Handle find = transport_.ftpFindFirstFile(connection, "*.*", data, 0, 0);
    ASSERT_NE(find, kNoHandle);
    ASSERT_TRUE(transport_.internetFindNextFile(find, data));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(transport_.internetFindNextFile(find, data));
        EXPECT_EQ(lastError(), error::kNoMoreFiles);
    }
    // Two finds may be open on one connection; each walks its own copy.
    FindData other;
    Handle second = transport_.ftpFindFirstFile(connection, "*.*", other, 0, 0);
    ASSERT_NE(second, kNoHandle);
    EXPECT_NE(second, find);

    // Closing the connection closes its finds.
    ASSERT_TRUE(transport_.internetCloseHandle(connection));
    EXPECT_FALSE(transport_.internetFindNextFile(second, other));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
    EXPECT_FALSE(transport_.internetCloseHandle(find));
    EXPECT_EQ(lastError(), error::kInvalidHandle);
}

TEST_F(FindTest, PatternsOtherThanEverythingFilter) {
    writeFile(root_ / "a.uz", "1");
    writeFile(root_ / "b.unr", "2");
    Handle connection = connect();
    FindData data;
    Handle find = transport_.ftpFindFirstFile(connection, "*.uz", data, 0, 0);
    ASSERT_NE(find, kNoHandle);
    EXPECT_EQ(data.name, "a.uz");
    EXPECT_FALSE(transport_.internetFindNextFile(find, data));
    EXPECT_EQ(transport_.ftpFindFirstFile(connection, "*.u", data, 0, 0), kNoHandle);
    EXPECT_EQ(lastError(), error::kNoMoreFiles);
}

// A server whose LIST speaks IIS's MS-DOS style, or odd Unix variants: recorded lines go out
// exactly as a real server sent them, entries come back in the same order.
TEST(CannedListing, ParsesWhatTheServerSent) {
    TempDir root;
    std::string longName(300, 'L');
    FtpServerOptions options;
    options.accounts.push_back(account(root.path()));
    options.cannedListing =
        "01-16-02  11:14AM       <DIR>          epsgWeb\r\n"
        "05-26-1995  10:57AM               143712 $LDR$\r\n"
        "11-14-97  04:21PM                  953 My Map.unr\r\n"
        "total 8\r\n"
        "drwxr-xr-x   2 ftp ftp 4096 Jan 11  2021 .\r\n"
        "lrwxrwxrwx   1 root root 7 Dec 06 19:13 current -> v2/uz/\r\n"
        "crw-rw-rw-   1 root tty 5,   0 Nov 30 08:15 tty\r\n"
        "-rw-r--r--   1 root root 1 Dec 06 19:13 " +
        longName + "\r\n";
    FtpServer server(options);
    Transport transport(testTimeouts());
    Handle session = transport.internetOpen(kAgent, kAccessDirect);
    Handle connection = transport.internetConnect(session, server.address(), 0, kUser, kPassword,
                                                  kServiceFtp, 0, 0);
    ASSERT_NE(connection, kNoHandle);
    std::vector<FindData> expected = {
        {16, "epsgWeb"},
        {128, "$LDR$"},
        {128, "My Map.unr"},
        {16, "."},
        {16, "current"},
        {128, "tty"},
        {128, std::string(kMaxNameBytes, 'L')},
    };
    EXPECT_EQ(listAll(transport, connection), expected);
}

}  // namespace
}  // namespace varnox::ftp::test
