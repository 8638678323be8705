// The LIST parser on lines recorded from real servers (vsftpd, ProFTPD, pyftpdlib, IIS in
// its MS-DOS style, and odd variants). Names with blanks and bytes above 127 in pyftpdlib's
// own listing, and a canned IIS listing, are read end to end in find_test.cpp.
#include "ftp/listing.h"

#include <gtest/gtest.h>

#include <string>

namespace varnox::ftp {
namespace {

constexpr std::uint32_t kDir = attribute::kDirectory;
constexpr std::uint32_t kFile = attribute::kNormal;

TEST(ParseListLine, GivesTheEntryOrNothing) {
    struct Case {
        const char* line;
        const char* name;  // nullptr: not an entry
        std::uint32_t attributes;
    };
    const Case cases[] = {
        // vsftpd and ProFTPD with a year column
        {"drwxr-xr-x    2 ftp      ftp          4096 Jan 11  2021 Maps", "Maps", kDir},
        // pyftpdlib pads the day with a zero and puts two blanks before a year
        {"-rw-r--r--   1 root     root         1024 Dec 06  2022 old.uz\n", "old.uz", kFile},
        // a name that looks like a date is still a name
        {"-rw-r--r--   1 u        g              5 Oct 10 10:10 Oct 10 10:10", "Oct 10 10:10",
         kFile},
        // symbolic links give the name, not the target
        {"lrwxrwxrwx   1 root     root            3 Dec 06 19:13 link -> sub", "link", kFile},
        {"lrwxrwxrwx   1 root     root            3 Dec 06 19:13 uz -> /srv/uz/", "uz", kDir},
        // devices carry "major, minor" where the size stands
        {"brw-rw----   1 root     disk       8,  1 Nov 30 08:15 sda1", "sda1", kFile},
        // no group column; ACL marker after the permissions; odd spacing; long-iso dates
        {"-rw-r--r--  1 alice  12 Feb  1 09:00 notes.txt", "notes.txt", kFile},
        {"drwxr-xr-x+ 3 alice staff 96 Feb  1 09:00 Shared", "Shared", kDir},
        {"-rw-r--r--      1     ftp ftp     42   Jul   4    1999 spaced", "spaced", kFile},
        {"-rw-r--r-- 1 u g 99 2023-09-02 12:30 iso.txt", "iso.txt", kFile},
        // ".." passes through
        {"drwxr-xr-x   4 u g 4096 Dec 06 19:13 ..", "..", kDir},
        // IIS in MS-DOS style: two- and four-digit years, blanks inside and in front of names
        {"12-31-2023  11:59PM       <DIR>          Unreal Tournament", "Unreal Tournament", kDir},
        {"03-04-21  09:00AM                 1024  lead.txt", " lead.txt", kFile},
        {"03-04-21  09:00AM       <DIR>           lead dir", " lead dir", kDir},
        // 24-hour clock, separate AM/PM, a single blank after <DIR>
        {"03-04-2021  21:07 <DIR> late", "late", kDir},
        {"03-04-21  09:00 PM  77 split.txt", "split.txt", kFile},
        // not entries
        {"total 24", nullptr, 0},
        {"", nullptr, 0},
        {"\r\n", nullptr, 0},
        {"-rw-r--r--   1 u g 1 Dec 06 19:13", nullptr, 0},
        {"-rw-r--r--   1 u g 1 Dec 06 19:13 ", nullptr, 0},
        {"ls: cannot open directory .: Permission denied", nullptr, 0},
        {"-rw-r--r--   1 u g 1 Foo 06 19:13 name", nullptr, 0},
        {"03-04-21  09:00AM       <DIR>", nullptr, 0},
        {"03-04-21  09:00AM    12", nullptr, 0},
        {"3-4-21  09:00AM  12 short.txt", nullptr, 0},
        {"03-04-21  noon  12 x", nullptr, 0},
    };
    for (const Case& c : cases) {
        std::optional<FindData> parsed = parseListLine(c.line);
        std::optional<FindData> expected;
        if (c.name != nullptr) {
            expected = FindData{c.attributes, c.name};
        }
        EXPECT_EQ(parsed, expected) << "\"" << c.line << "\"";
    }
}

TEST(ShortenName, CutsAtTheFieldSizeWithoutSplittingCharacters) {
    EXPECT_EQ(shortenName(std::string(kMaxNameBytes, 'b')), std::string(kMaxNameBytes, 'b'));
    // 258 ASCII bytes and then "ö" (two bytes): the cut at 259 would split it.
    EXPECT_EQ(shortenName(std::string(258, 'c') + "\xc3\xb6" + "tail"), std::string(258, 'c'));
    // Latin-1 bytes that look like continuation bytes are cut at the limit all the same.
    EXPECT_EQ(shortenName(std::string(300, '\xb0')).size(), kMaxNameBytes);
}

TEST(MatchesPattern, FollowsFindPatterns) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"noext", "*.*", true}, {"noext", "", true},       {"a.uz2", "*.uz", false},
        {"a.uz", "?.uz", true}, {"ab.uz", "?.uz", false},  {"A.UZ", "*.uz", false},
        {"xy", "x", false},     {"abcabc", "*bc*c", true}, {"abcab", "*bc*c", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
    }
}

}  // namespace
}  // namespace varnox::ftp
