#include "ftp/remote_path.h"

#include <gtest/gtest.h>

namespace varnox::ftp {
namespace {

// The listings after each change are checked against a real server in directory_test.cpp;
// these are the cases no server walk reaches.
TEST(RemotePath, FollowsCwdAndJoinsNames) {
    struct Case {
        const char* current;
        const char* requested;
        const char* result;
    };
    const Case changes[] = {
        {"/maps/", "uz", "/maps/uz"},
        {"/maps", "/sounds/", "/sounds"},
        // A backslash is part of a name, not a separator.
        {"/maps", "\\", "/maps/\\"},
        {"/maps", "music\\ogg", "/maps/music\\ogg"},
        {"", "maps", "maps"},
        {"/", "//", "/"},
    };
    for (const Case& c : changes) {
        EXPECT_EQ(changedDirectory(c.current, c.requested), c.result)
            << c.current << " + " << c.requested;
    }
    const Case children[] = {{"/", "a", "/a"},
                             {"/maps", "/abs", "/abs"},
                             {"/maps", "sub/a", "/maps/sub/a"},
                             {"", "a", "a"}};
    for (const Case& c : children) {
        EXPECT_EQ(childPath(c.current, c.requested), c.result) << c.current << " + " << c.requested;
    }
}

}  // namespace
}  // namespace varnox::ftp
