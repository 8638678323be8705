// Names from a server must never steer a download outside the chosen folder.
#include "ftp/names.h"

#include <gtest/gtest.h>

#include <string>

namespace varnox::ftp {
namespace {

TEST(IsPlainRemoteName, RefusesNamesThatAreNotOneLocalFileName) {
    struct Case {
        std::string name;
        bool plain;
    };
    const Case cases[] = {
        {"CTF-Face.unr", true},
        {"My Map.unr", true},
        {" lead", true},
        {"..hidden", true},
        {"a..b", true},
        {"Gr\xc3\xb6\xc3\x9f"
         "e.uz",
         true},
        {"...", true},
        {"", false},
        {".", false},
        {"..", false},
        {"../evil", false},
        {"sub/file", false},
        {"/etc/passwd", false},
        {"..\\evil", false},
        {"C:\\Windows", false},
        {std::string("nul\0byte", 8), false},
        {"cr\rhere", false},
        {"lf\nhere", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isPlainRemoteName(c.name), c.plain) << "\"" << c.name << "\"";
    }
}

TEST(LocalTargetPath, StaysInsideTheFolder) {
    std::filesystem::path folder = "/home/admin/ut/Maps";
    EXPECT_EQ(localTargetPath(folder, "DM-Deck16.unr"), folder / "DM-Deck16.unr");
    EXPECT_EQ(localTargetPath(folder, "..").has_value(), false);
    EXPECT_EQ(localTargetPath(folder, "../../.bashrc").has_value(), false);
    EXPECT_EQ(localTargetPath(folder, "/etc/cron.d/x").has_value(), false);
}

TEST(IsSendable, RefusesControlBytes) {
    EXPECT_TRUE(isSendable("plain name with blanks #%?"));
    EXPECT_TRUE(isSendable("\xe9\xff"));
    EXPECT_FALSE(isSendable("a\r\nDELE b"));
    EXPECT_FALSE(isSendable("tab\there"));
    EXPECT_FALSE(isSendable(std::string("nul\0", 4)));
}

}  // namespace
}  // namespace varnox::ftp
