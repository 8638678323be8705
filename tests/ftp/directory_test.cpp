// Changing the remote directory: every later listing and transfer must really happen in the
// directory the caller changed to, whatever libcurl remembers about earlier requests.
#include <filesystem>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

class DirectoryTest : public ServerTest {
protected:
    void SetUp() override {
        // /            Maps/ root.txt
        // /Maps        uz/ DM-Deck16.unr
        // /Maps/uz     DM-Deck16.unr.uz
        // /Sounds      (empty)
        std::filesystem::create_directories(root_ / "Maps" / "uz");
        std::filesystem::create_directories(root_ / "Sounds");
        writeFile(root_ / "root.txt", "root");
        writeFile(root_ / "Maps" / "DM-Deck16.unr", "map");
        writeFile(root_ / "Maps" / "uz" / "DM-Deck16.unr.uz", "packed");
        ServerTest::SetUp();
        connection_ = connect();
        ASSERT_NE(connection_, kNoHandle);
    }

    std::set<std::string> names() { return namesOf(listAll(transport_, connection_)); }

    Handle connection_ = kNoHandle;
};

const std::set<std::string> kRoot = {"Maps", "Sounds", "root.txt"};
const std::set<std::string> kMaps = {"uz", "DM-Deck16.unr"};
const std::set<std::string> kUz = {"DM-Deck16.unr.uz"};
const std::set<std::string> kEmpty = {};

TEST_F(DirectoryTest, ListsTheDirectoryItChangedTo) {
    struct Step {
        const char* directory;
        std::set<std::string> listing;
    };
    // Relative and absolute changes mixed, and returns to directories visited before,
    // which libcurl would skip if the connection's idea of the directory went stale.
    const Step steps[] = {
        {"Maps", kMaps},     {"uz", kUz},      {"/Maps", kMaps}, {"/", kRoot},
        {"/Maps/uz/", kUz},  {"..", kMaps},    {"/", kRoot},     {"Maps/uz", kUz},
        {"/Sounds", kEmpty}, {"/Maps", kMaps}, {"/Maps", kMaps}, {"/", kRoot},
    };
    EXPECT_EQ(names(), kRoot);
    for (const Step& step : steps) {
        ASSERT_TRUE(transport_.ftpSetCurrentDirectory(connection_, step.directory))
            << step.directory << ": " << lastError() << " " << lastResponse(transport_);
        EXPECT_EQ(lastError(), 0u);
        EXPECT_EQ(names(), step.listing) << "after changing to " << step.directory;
    }
}

TEST_F(DirectoryTest, RefusedChangeKeepsTheDirectoryAndTellsWhy) {
    ASSERT_TRUE(transport_.ftpSetCurrentDirectory(connection_, "/Maps"));
    EXPECT_FALSE(transport_.ftpSetCurrentDirectory(connection_, "/NoSuchFolder"));
    EXPECT_EQ(lastError(), error::kExtendedError);
    std::uint32_t code = 0;
    std::string text;
    transport_.internetGetLastResponseInfo(code, text);
    EXPECT_EQ(code, 550u);
    EXPECT_EQ(text.rfind("550 ", 0), 0u) << text;

    // A file is no directory either.
    EXPECT_FALSE(transport_.ftpSetCurrentDirectory(connection_, "DM-Deck16.unr"));
    EXPECT_EQ(lastError(), error::kExtendedError);

    // The listing goes on in the directory that was current before, and so do transfers.
    EXPECT_EQ(names(), kMaps);
    ASSERT_TRUE(transport_.ftpGetFile(connection_, "DM-Deck16.unr", local_ / "got.unr", false,
                                      0x80000000, kTransferBinary, 0));
    EXPECT_EQ(readFile(local_ / "got.unr"), "map");
}

TEST_F(DirectoryTest, TransfersUseTheCurrentDirectory) {
    writeFile(local_ / "new.uz", "fresh");
    ASSERT_TRUE(transport_.ftpSetCurrentDirectory(connection_, "/Maps/uz"));
    ASSERT_TRUE(transport_.ftpPutFile(connection_, local_ / "new.uz", "new.uz", kTransferBinary));
    EXPECT_EQ(readFile(root_ / "Maps" / "uz" / "new.uz"), "fresh");

    ASSERT_TRUE(transport_.ftpSetCurrentDirectory(connection_, "/"));
    ASSERT_TRUE(transport_.ftpGetFile(connection_, "root.txt", local_ / "root.txt", false, 0,
                                      kTransferBinary));
    EXPECT_EQ(readFile(local_ / "root.txt"), "root");
    // Names with a directory part reach below the current directory.
    ASSERT_TRUE(transport_.ftpGetFile(connection_, "Maps/uz/new.uz", local_ / "again.uz", false, 0,
                                      kTransferBinary));
    EXPECT_EQ(readFile(local_ / "again.uz"), "fresh");
    // After a failed change, a put lands in the directory that stayed current.
    EXPECT_FALSE(transport_.ftpSetCurrentDirectory(connection_, "Missing"));
    ASSERT_TRUE(
        transport_.ftpPutFile(connection_, local_ / "new.uz", "stayed.uz", kTransferBinary));
    EXPECT_TRUE(std::filesystem::exists(root_ / "stayed.uz"));
}

TEST_F(DirectoryTest, RefusesLineBreaksAndEmptyNames) {
    const std::string bad[] = {"Maps\r\nDELE root.txt", "Maps\n", std::string("Ma\0ps", 5), ""};
    for (const std::string& directory : bad) {
        EXPECT_FALSE(transport_.ftpSetCurrentDirectory(connection_, directory));
        EXPECT_EQ(lastError(), error::kInvalidParameter);
    }
    EXPECT_TRUE(std::filesystem::exists(root_ / "root.txt"));
    EXPECT_EQ(names(), kRoot);
}

TEST(ReadOnlyFolder, RefusesUploadsWithTheServersReply) {
    TempDir root;
    TempDir local;
    std::filesystem::create_directories(root / "locked");
    writeFile(local / "pkg.uz", "data");
    FtpServerOptions options;
    options.accounts.push_back(account(root.path()));
    options.accounts.back().readOnlyFolders.push_back(root / "locked");
    FtpServer server(options);
    Transport transport(testTimeouts());
    Handle session = transport.internetOpen(kAgent, kAccessDirect);
    Handle connection = transport.internetConnect(session, server.address(), 0, kUser, kPassword,
                                                  kServiceFtp, kFlagPassive, 0);
    ASSERT_NE(connection, kNoHandle);
    // Listing shows it as a directory all the same.
    std::vector<FindData> entries = listAll(transport, connection);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], (FindData{attribute::kDirectory, "locked"}));

    ASSERT_TRUE(transport.ftpSetCurrentDirectory(connection, "locked"));
    EXPECT_FALSE(transport.ftpPutFile(connection, local / "pkg.uz", "pkg.uz", kTransferBinary));
    EXPECT_EQ(lastError(), error::kExtendedError);
    EXPECT_EQ(lastResponse(transport).rfind("550 ", 0), 0u) << lastResponse(transport);
    EXPECT_FALSE(std::filesystem::exists(root / "locked" / "pkg.uz"));
}

}  // namespace
}  // namespace varnox::ftp::test
