// Listings through find-first and find-next against a real server.
#include <filesystem>
#include <fstream>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

using FindTest = ServerTest;

TEST_F(FindTest, AnEmptyOrUnmatchedListingEndsWithNoMoreFiles) {
    connection_ = connect();
    FindData data;
    EXPECT_TRUE(
        failsWith(transport_.ftpFindFirstFile(connection_, "*.*", data), error::kNoMoreFiles));
    writeFile(root_ / "a.uz", "1");
    writeFile(root_ / "b.unr", "2");
    EXPECT_TRUE(
        failsWith(transport_.ftpFindFirstFile(connection_, "*.u", data), error::kNoMoreFiles));
    Handle find = transport_.ftpFindFirstFile(connection_, "*.uz", data);
    ASSERT_NE(find, kNoHandle);
    EXPECT_EQ(data.name, "a.uz");
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(failsWith(transport_.internetFindNextFile(find, data), error::kNoMoreFiles));
    }
}

TEST_F(FindTest, GivesNamesAsTheyAreOnTheServer) {
    // Every one of these must come back unchanged and be fetchable by the name listed.
    const std::vector<std::string> files = {
        "plain.uz",     "My Map.unr", "in ner  two", " lead",      "trail ",
        "a#b",          "50%",        "what?",       "semi;colon", "Gr\303\266\303\237e.uz",
        "lat\3511.utx", "x+y=z&w",    "-dash",       "..."};
    for (const std::string& name : files) {
        writeFile(root_ / name, "content of " + name);
    }
    std::filesystem::create_directory(root_ / "Music Files");

    connection_ = connect();
    std::vector<FindData> entries = listAll(transport_, connection_);
    ASSERT_EQ(entries.size(), files.size() + 1);
    for (const FindData& entry : entries) {
        bool folder = entry.name == "Music Files";
        EXPECT_EQ(entry.attributes, folder ? 16u : 128u) << entry.name;
        if (!folder) {
            ASSERT_TRUE(get(entry.name, local_ / "fetched")) << "\"" << entry.name << "\"";
            EXPECT_EQ(readFile(local_ / "fetched"), "content of " + entry.name);
        }
    }
}

TEST_F(FindTest, ReadsListingsBeyond32767Entries) {
    constexpr int kCount = 33000;
    for (int i = 0; i < kCount; ++i) {
        std::ofstream(root_ / ("f" + std::to_string(i) + ".uz"));
    }
    connection_ = connect();
    Names listed = names();
    EXPECT_EQ(listed.size(), static_cast<std::size_t>(kCount));
    EXPECT_TRUE(listed.count("f32999.uz"));
}

// A server whose LIST speaks IIS's MS-DOS style, or odd Unix variants: recorded lines go out
// exactly as a real server sent them, entries come back in the same order, repeats kept.
TEST_F(FindTest, ParsesWhatTheServerSent) {
    FtpServerOptions options;
    options.cannedListing =
        "01-16-02  11:14AM       <DIR>          epsgWeb\r\n"
        "05-26-1995  10:57AM               143712 $LDR$\r\n"
        "11-14-97  04:21PM                  953 My Map.unr\r\n"
        "total 8\r\n"
        "\r\n"
        "drwxr-xr-x   2 ftp ftp 4096 Jan 11  2021 .\r\n"
        "lrwxrwxrwx   1 root root 7 Dec 06 19:13 current -> v2/uz/\n"
        "crw-rw-rw-   1 root tty 5,   0 Nov 30 08:15 tty\r\n"
        "crw-rw-rw-   1 root tty 5,   0 Nov 30 08:15 tty\r\n"
        "-rw-r--r--   1 root root 1 Dec 06 19:13 " +
        std::string(300, 'L');
    serve(options);
    connection_ = connect(0);
    const std::vector<FindData> expected = {
        {16, "epsgWeb"},     {128, "$LDR$"},
        {128, "My Map.unr"}, {16, "."},
        {16, "current"},     {128, "tty"},
        {128, "tty"},        {128, std::string(kMaxNameBytes, 'L')},
    };
    EXPECT_EQ(listAll(transport_, connection_), expected);
}

}  // namespace
}  // namespace varnox::ftp::test
