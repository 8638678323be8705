#include "ftp/remote_path.h"

#include <gtest/gtest.h>

namespace varnox::ftp {
namespace {

TEST(ChangedDirectory, FollowsCwd) {
    struct Case {
        const char* current;
        const char* requested;
        const char* result;
    };
    const Case cases[] = {
        {"/", "maps", "/maps"},
        {"/maps", "uz", "/maps/uz"},
        {"/maps/", "uz", "/maps/uz"},
        {"/maps", "/sounds", "/sounds"},
        {"/maps", "/sounds/", "/sounds"},
        {"/maps", "/", "/"},
        {"/maps", "\\", "/"},
        {"/maps", "\\music\\ogg", "/music/ogg"},
        {"/maps", "..", "/maps/.."},
        {"/home/ut", "a/b", "/home/ut/a/b"},
        {"", "maps", "maps"},
        {"", "/maps", "/maps"},
        {"/", "//", "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(changedDirectory(c.current, c.requested), c.result)
            << c.current << " + " << c.requested;
    }
}

TEST(PercentEncode, KeepsOnlyUnreservedBytes) {
    EXPECT_EQ(percentEncode("CTF-Face_v2.unr~"), "CTF-Face_v2.unr~");
    EXPECT_EQ(percentEncode("a b#c?d%e"), "a%20b%23c%3Fd%25e");
    EXPECT_EQ(percentEncode("Gr\xc3\xb6\xc3\x9f"
                            "e"),
              "Gr%C3%B6%C3%9Fe");
    EXPECT_EQ(percentEncode("lat\xe9/x"), "lat%E9%2Fx");
}

TEST(UrlPaths, StartAtTheRootForAbsolutePaths) {
    struct Case {
        const char* directory;
        const char* url;
    };
    const Case directories[] = {
        {"", ""},
        {"/", "%2F/"},
        {"/maps", "%2Fmaps/"},
        {"/maps/uz files", "%2Fmaps/uz%20files/"},
        {"/a/../b", "%2Fa/../b/"},
        {"rel/dir", "rel/dir/"},
    };
    for (const Case& c : directories) {
        EXPECT_EQ(directoryUrlPath(c.directory), c.url) << c.directory;
    }
    const Case files[] = {
        {"/f.uz", "%2F/f.uz"},
        {"/maps/DM Deck#16.unr", "%2Fmaps/DM%20Deck%2316.unr"},
        {"plain.txt", "plain.txt"},
        {"rel/x?", "rel/x%3F"},
    };
    for (const Case& c : files) {
        EXPECT_EQ(fileUrlPath(c.directory), c.url) << c.directory;
    }
}

TEST(ChildPath, JoinsOrReplaces) {
    EXPECT_EQ(childPath("/", "a"), "/a");
    EXPECT_EQ(childPath("/maps", "a"), "/maps/a");
    EXPECT_EQ(childPath("/maps", "/abs"), "/abs");
    EXPECT_EQ(childPath("/maps", "sub/a"), "/maps/sub/a");
    EXPECT_EQ(childPath("", "a"), "a");
}

}  // namespace
}  // namespace varnox::ftp
