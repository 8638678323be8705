// The FTP window's rules without a window, for the cases the window tests cannot reach
// cheaply; frm_ftp_test.cpp drives the window itself.
#include <gtest/gtest.h>

#include <string>

#include "ftp/window/remote_listing.h"
#include "ftp/window/remote_paths.h"

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
        {"S/d/e", "S", "/d/e"},
        {"S/maps/", "S", "/maps/"},
        {"127.0.0.1:2121/maps", "127.0.0.1:2121", "/maps"},
        // The name elsewhere in the path is part of the path.
        {"/S/d", "S", "/S/d"},
        {"x/S", "S", "x/S"},
        {"S/S/d", "S", "/S/d"},
        // No server name in it: passed on as it is.
        {"\\", "S", "\\"},
        {"other/d", "S", "other/d"},
        // An emptied server box strips nothing.
        {"S/d", "", "S/d"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(remoteDirectory(c.path, c.server), c.expected) << c.path << " with " << c.server;
    }
}

TEST(UploadDirectory, TakesAsManyCharactersAsTheServerBoxHoldsOffTheNodesText) {
    EXPECT_EQ(uploadDirectory("S", "S"), "/") << "the root is the server's root, written /";
    EXPECT_EQ(uploadDirectory("S/maps/sub", "S"), "/maps/sub");
    // A server box edited while connected.
    EXPECT_EQ(uploadDirectory("S/maps", "X"), "/maps");
    EXPECT_EQ(uploadDirectory("S/maps", "XYZ"), "aps");
    EXPECT_EQ(uploadDirectory("S/d", "longer name"), std::nullopt);
}

TEST(DirectoryEntry, TheDirectoryBitCountsInValuesThatFitSixteenBits) {
    for (std::uint32_t attributes : {16u, 17u, 18u, 0x30u, 0xFFFFu}) {
        EXPECT_TRUE(isDirectoryEntry(attributes)) << attributes;
    }
    for (std::uint32_t attributes : {0u, 1u, 128u, 0x10000u, 0x10010u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(isDirectoryEntry(attributes)) << attributes;
    }
}

}  // namespace
}  // namespace varnox::test
