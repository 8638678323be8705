// Changing the remote directory: every later listing and transfer must really happen in the
// directory the caller changed to, whatever libcurl remembers about earlier requests.
#include <filesystem>

#include "tests/ftp/server_test.h"

namespace varnox::ftp::test {
namespace {

class DirectoryTest : public ServerTest {
protected:
    void SetUp() override {
        // /            Maps/ "Sounds #1%"/ root.txt
        // /Maps        uz/ DM-Deck16.unr
        // /Maps/uz     DM-Deck16.unr.uz
        std::filesystem::create_directories(root_ / "Maps" / "uz");
        std::filesystem::create_directories(root_ / "Sounds #1%");
        writeFile(root_ / "root.txt", "root");
        writeFile(root_ / "Maps" / "DM-Deck16.unr", "map");
        writeFile(root_ / "Maps" / "uz" / "DM-Deck16.unr.uz", "packed");
        ServerTest::SetUp();
        connection_ = connect();
        ASSERT_NE(connection_, kNoHandle);
    }
};

const Names kRoot = {"Maps", "Sounds #1%", "root.txt"};
const Names kMaps = {"uz", "DM-Deck16.unr"};
const Names kUz = {"DM-Deck16.unr.uz"};

TEST_F(DirectoryTest, ListsTheDirectoryItChangedTo) {
    // Relative and absolute changes mixed, and returns to directories visited before,
    // which libcurl would skip if the connection's idea of the directory went stale.
    const std::pair<const char*, Names> steps[] = {
        {"Maps", kMaps},     {"uz", kUz},      {"/Maps", kMaps}, {"/", kRoot},
        {"/Maps/uz/", kUz},  {"..", kMaps},    {"/", kRoot},     {"Maps/uz", kUz},
        {"/Sounds #1%", {}}, {"/Maps", kMaps}, {"/Maps", kMaps}, {"/", kRoot},
    };
    EXPECT_EQ(names(), kRoot);
    for (const auto& [directory, listing] : steps) {
        ASSERT_TRUE(cd(directory)) << directory << ": " << lastError();
        EXPECT_EQ(lastError(), 0u);
        EXPECT_EQ(names(), listing) << "after changing to " << directory;
    }
    // Another connection of the session has a directory of its own.
    ASSERT_TRUE(cd("Maps"));
    EXPECT_EQ(names(connect()), kRoot);
    EXPECT_EQ(names(), kMaps);
}

TEST_F(DirectoryTest, ARefusedChangeKeepsTheDirectoryForListingsAndTransfers) {
    writeFile(local_ / "new.uz", "fresh");
    ASSERT_TRUE(cd("/Maps"));
    for (const char* directory : {"/NoSuchFolder", "DM-Deck16.unr"}) {
        EXPECT_TRUE(failsWith(cd(directory), error::kExtendedError)) << directory;
        std::uint32_t code = 0;
        std::string text;
        transport_.internetGetLastResponseInfo(code, text);
        EXPECT_EQ(code, 550u);
        EXPECT_EQ(text.rfind("550 ", 0), 0u) << text;
    }
    EXPECT_EQ(names(), kMaps);
    ASSERT_TRUE(get("DM-Deck16.unr", local_ / "got.unr"));
    EXPECT_EQ(readFile(local_ / "got.unr"), "map");
    ASSERT_TRUE(put(local_ / "new.uz", "new.uz"));
    EXPECT_EQ(readFile(root_ / "Maps" / "new.uz"), "fresh");
    // Names with a directory part reach below the current directory.
    ASSERT_TRUE(cd("/"));
    ASSERT_TRUE(get("Maps/uz/DM-Deck16.unr.uz", local_ / "again.uz"));
    EXPECT_EQ(readFile(local_ / "again.uz"), "packed");
}

TEST_F(DirectoryTest, RefusesNamesThatWouldInjectCommands) {
    writeFile(local_ / "pkg.uz", "data");
    const std::string bad[] = {"x\r\nDELE root.txt", "x\nDELE root.txt", "tab\there",
                               std::string("x\0y", 3), ""};
    for (const std::string& name : bad) {
        EXPECT_TRUE(failsWith(cd(name), error::kInvalidParameter));
        EXPECT_TRUE(failsWith(put(local_ / "pkg.uz", name), error::kInvalidParameter));
        EXPECT_TRUE(failsWith(get(name, local_ / "out"), error::kInvalidParameter));
    }
    EXPECT_TRUE(failsWith(put(local_ / "pkg.uz", "dir/"), error::kInvalidParameter));
    EXPECT_TRUE(failsWith(get("dir/", local_ / "out"), error::kInvalidParameter));
    EXPECT_TRUE(failsWith(put(local_ / "pkg.uz", "pkg.uz", 3), error::kInvalidParameter));
    EXPECT_EQ(names(), kRoot);
    EXPECT_EQ(readFile(root_ / "root.txt"), "root");
}

}  // namespace
}  // namespace varnox::ftp::test
