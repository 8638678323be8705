// Names from a server must never steer a download outside the chosen folder.
#include "ftp/names.h"

#include <gtest/gtest.h>

#include <string>

namespace varnox::ftp {
namespace {

TEST(RemoteNames, OnlyPlainNamesBecomeLocalTargets) {
    const std::filesystem::path folder = "/home/admin/ut/Maps";
    const std::string plain[] = {"CTF-Face.unr",
                                 " lead",
                                 "..hidden",
                                 "a..b",
                                 "...",
                                 "Gr\xc3\xb6\xc3\x9f"
                                 "e.uz"};
    for (const std::string& name : plain) {
        EXPECT_TRUE(isPlainRemoteName(name)) << name;
        EXPECT_EQ(localTargetPath(folder, name), folder / name) << name;
    }
    const std::string refused[] = {"",
                                   ".",
                                   "..",
                                   "../evil",
                                   "sub/file",
                                   "/etc/passwd",
                                   "..\\evil",
                                   "C:\\Windows",
                                   "cr\rhere",
                                   "lf\nhere",
                                   std::string("nul\0byte", 8)};
    for (const std::string& name : refused) {
        EXPECT_FALSE(isPlainRemoteName(name)) << name;
        EXPECT_EQ(localTargetPath(folder, name), std::nullopt) << name;
    }
}

}  // namespace
}  // namespace varnox::ftp
