// The LIST parser on lines recorded from real servers (vsftpd, ProFTPD, pyftpdlib, IIS in
// its MS-DOS style, and odd variants).
#include "ftp/listing.h"

#include <gtest/gtest.h>

#include <string>

namespace varnox::ftp {
namespace {

constexpr std::uint32_t kDir = attribute::kDirectory;
constexpr std::uint32_t kFile = attribute::kNormal;

struct LineCase {
    const char* line;
    std::optional<FindData> expected;
};

std::ostream& operator<<(std::ostream& out, const LineCase& c) {
    return out << "\"" << c.line << "\"";
}

class ListLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ListLineTest, GivesTheEntryOrNothing) {
    const LineCase& c = GetParam();
    std::optional<FindData> parsed = parseListLine(c.line);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->name, c.expected->name);
        EXPECT_EQ(parsed->attributes, c.expected->attributes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Unix, ListLineTest,
    ::testing::Values(
        // vsftpd and ProFTPD, time and year columns
        LineCase{"-rw-r--r--    1 1000     1000       123456 Mar 03 14:02 CTF-Face.unr",
                 FindData{kFile, "CTF-Face.unr"}},
        LineCase{"drwxr-xr-x    2 ftp      ftp          4096 Jan 11  2021 Maps",
                 FindData{kDir, "Maps"}},
        LineCase{"-rw-r--r--   1 owner    group     7045120 Sep 02  3:47 music.mp3\r\n",
                 FindData{kFile, "music.mp3"}},
        // pyftpdlib pads the day with a zero and puts two blanks before a year
        LineCase{"-rw-r--r--   1 root     root         1024 Dec 06  2022 old.uz\n",
                 FindData{kFile, "old.uz"}},
        // names with inner, leading and trailing blanks keep them
        LineCase{"-rw-r--r--   1 root     root            0 Dec 06 19:13 in ner  two",
                 FindData{kFile, "in ner  two"}},
        LineCase{"-rw-r--r--   1 root     root            0 Dec 06 19:13  lead",
                 FindData{kFile, " lead"}},
        LineCase{"-rw-r--r--   1 root     root            0 Dec 06 19:13 trail ",
                 FindData{kFile, "trail "}},
        // a name that looks like a date is still a name
        LineCase{"-rw-r--r--   1 u        g              5 Oct 10 10:10 Oct 10 10:10",
                 FindData{kFile, "Oct 10 10:10"}},
        // symbolic links give the name, not the target
        LineCase{"lrwxrwxrwx   1 root     root            3 Dec 06 19:13 link -> sub",
                 FindData{kFile, "link"}},
        LineCase{"lrwxrwxrwx   1 root     root            3 Dec 06 19:13 uz -> /srv/uz/",
                 FindData{kDir, "uz"}},
        // devices carry "major, minor" where the size stands
        LineCase{"crw-rw-rw-   1 root     tty        5,   0 Nov 30 08:15 tty",
                 FindData{kFile, "tty"}},
        LineCase{"brw-rw----   1 root     disk       8,  1 Nov 30 08:15 sda1",
                 FindData{kFile, "sda1"}},
        // no group column; ACL marker after the permissions; odd spacing
        LineCase{"-rw-r--r--  1 alice  12 Feb  1 09:00 notes.txt", FindData{kFile, "notes.txt"}},
        LineCase{"drwxr-xr-x+ 3 alice staff 96 Feb  1 09:00 Shared", FindData{kDir, "Shared"}},
        LineCase{"-rw-r--r--      1     ftp ftp     42   Jul   4    1999 spaced",
                 FindData{kFile, "spaced"}},
        // long-iso dates
        LineCase{"-rw-r--r-- 1 u g 99 2023-09-02 12:30 iso.txt", FindData{kFile, "iso.txt"}},
        // "." and ".." pass through
        LineCase{"drwxr-xr-x   4 u g 4096 Dec 06 19:13 .", FindData{kDir, "."}},
        LineCase{"drwxr-xr-x   4 u g 4096 Dec 06 19:13 ..", FindData{kDir, ".."}},
        // bytes above 127 are kept as they came
        LineCase{"-rw-r--r--   1 u g 1 Dec 06 19:13 Gr\xc3\xb6\xc3\x9f"
                 "e.uz",
                 FindData{kFile,
                          "Gr\xc3\xb6\xc3\x9f"
                          "e.uz"}},
        LineCase{"-rw-r--r--   1 u g 1 Dec 06 19:13 lat\xe9", FindData{kFile, "lat\xe9"}},
        // not entries
        LineCase{"total 24", std::nullopt}, LineCase{"", std::nullopt},
        LineCase{"\r\n", std::nullopt}, LineCase{"-rw-r--r--   1 u g 1 Dec 06 19:13", std::nullopt},
        LineCase{"-rw-r--r--   1 u g 1 Dec 06 19:13 ", std::nullopt},
        LineCase{"ls: cannot open directory .: Permission denied", std::nullopt},
        LineCase{"-rw-r--r--   1 u g 1 Foo 06 19:13 name", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Dos, ListLineTest,
    ::testing::Values(
        // IIS in MS-DOS style, two-digit years
        LineCase{"01-16-02  11:14AM       <DIR>          epsgWeb", FindData{kDir, "epsgWeb"}},
        LineCase{"11-14-97  04:21PM                  953 AUDITOR3.INI",
                 FindData{kFile, "AUDITOR3.INI"}},
        LineCase{"05-20-97  03:41PM       <DIR>          .", FindData{kDir, "."}},
        // four-digit years, CRLF
        LineCase{"05-26-1995  10:57AM               143712 $LDR$\r\n", FindData{kFile, "$LDR$"}},
        LineCase{"12-31-2023  11:59PM       <DIR>          Unreal Tournament",
                 FindData{kDir, "Unreal Tournament"}},
        // blanks inside and in front of names
        LineCase{"03-04-21  09:00AM                 1024 My Map.unr",
                 FindData{kFile, "My Map.unr"}},
        LineCase{"03-04-21  09:00AM                 1024  lead.txt", FindData{kFile, " lead.txt"}},
        LineCase{"03-04-21  09:00AM       <DIR>           lead dir", FindData{kDir, " lead dir"}},
        // 24-hour clock, separate AM/PM, a single blank after <DIR>
        LineCase{"03-04-2021  21:07 <DIR> late", FindData{kDir, "late"}},
        LineCase{"03-04-21  09:00 PM  77 split.txt", FindData{kFile, "split.txt"}},
        // not entries
        LineCase{"03-04-21  09:00AM       <DIR>", std::nullopt},
        LineCase{"03-04-21  09:00AM    12", std::nullopt},
        LineCase{"3-4-21  09:00AM  12 short.txt", std::nullopt},
        LineCase{"03-04-21  noon  12 x", std::nullopt}));

TEST(ParseListing, KeepsTheServersOrderAndSkipsNonEntries) {
    std::string text =
        "total 12\r\n"
        "drwxr-xr-x   2 u g 4096 Dec 06 19:13 zeta\r\n"
        "-rw-r--r--   1 u g    1 Dec 06 19:13 alpha\r\n"
        "\r\n"
        "-rw-r--r--   1 u g    1 Dec 06 19:13 alpha\r\n"
        "01-16-02  11:14AM       <DIR>          mixed\n"
        "-rw-r--r--   1 u g    1 Dec 06 19:13 no line end";
    std::vector<FindData> expected = {{kDir, "zeta"},
                                      {kFile, "alpha"},
                                      {kFile, "alpha"},
                                      {kDir, "mixed"},
                                      {kFile, "no line end"}};
    EXPECT_EQ(parseListing(text), expected);
}

TEST(ShortenName, CutsAtTheFieldSizeWithoutSplittingCharacters) {
    std::string ascii(300, 'a');
    EXPECT_EQ(shortenName(ascii), std::string(kMaxNameBytes, 'a'));
    EXPECT_EQ(shortenName(std::string(kMaxNameBytes, 'b')), std::string(kMaxNameBytes, 'b'));

    // 258 ASCII bytes and then "ö" (two bytes): the cut at 259 would split it.
    std::string utf8 = std::string(258, 'c') + "\xc3\xb6" + "tail";
    EXPECT_EQ(shortenName(utf8), std::string(258, 'c'));

    // Latin-1 bytes that look like continuation bytes are cut at the limit all the same.
    std::string latin(300, '\xb0');
    EXPECT_EQ(shortenName(latin).size(), kMaxNameBytes);
}

TEST(ParseListLine, ShortensLongNames) {
    std::string line = "-rw-r--r--   1 u g 1 Dec 06 19:13 " + std::string(300, 'n');
    auto parsed = parseListLine(line);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, std::string(kMaxNameBytes, 'n'));
}

TEST(MatchesPattern, FollowsFindPatterns) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"CTF-Face.unr", "*.*", true},
        {"noext", "*.*", true},
        {"noext", "*", true},
        {"noext", "", true},
        {"a.uz", "*.uz", true},
        {"a.uz2", "*.uz", false},
        {"a.uz", "?.uz", true},
        {"ab.uz", "?.uz", false},
        {"A.UZ", "*.uz", false},
        {"x", "x", true},
        {"xy", "x", false},
        {"abcabc", "*bc*c", true},
        {"abcab", "*bc*c", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches) << c.name << " ~ " << c.pattern;
    }
}

}  // namespace
}  // namespace varnox::ftp
