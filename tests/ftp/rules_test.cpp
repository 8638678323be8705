// The FTP rules that need no server: what users type, what servers list and reply, remote
// paths and tree keys, and the local side of transfers.
#include <gtest/gtest.h>

#include "ftp/address.h"
#include "ftp/errors.h"
#include "ftp/listing.h"
#include "ftp/local_file.h"
#include "ftp/names.h"
#include "ftp/remote_path.h"
#include "ftp/reply_log.h"
#include "ftp/reports.h"
#include "ftp/sftp_address.h"
#include "ftp/tree_keys.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::ftp {

void PrintTo(const FindData& entry, std::ostream* out) {
    *out << entry.attributes << " \"" << entry.name << "\" " << entry.size
         << (entry.link ? " link" : "");
}

namespace {

constexpr std::uint32_t kDir = attribute::kDirectory;
constexpr std::uint32_t kFile = attribute::kNormal;

TEST(ParseEndpoint, ReadsWhatUsersType) {
    const struct {
        std::string text;
        std::optional<Endpoint> endpoint;
        std::uint32_t error;
    } cases[] = {
        {"ftp.example.org", Endpoint{"ftp.example.org", 21}, 0},
        {"FTP://host:99/", Endpoint{"host", 99}, 0},
        {"ftpes://host", Endpoint{"host", 21, Security::kExplicitTls}, 0},
        {"ftps://host", Endpoint{"host", 990, Security::kImplicitTls}, 0},
        {"ftps://host:2990", Endpoint{"host", 2990, Security::kImplicitTls}, 0},
        {"[::1]:2121", Endpoint{"[::1]", 2121}, 0},
        {"", std::nullopt, error::kInvalidParameter},
        {"host\r\n", std::nullopt, error::kInvalidParameter},
        {"host:65536", std::nullopt, error::kInvalidParameter},
        {"host:21x", std::nullopt, error::kInvalidParameter},
        {"http://host", std::nullopt, error::kUnrecognizedScheme},
        {" host", std::nullopt, error::kNameNotResolved},
        {"user@host", std::nullopt, error::kNameNotResolved},
        {"[::1]x", std::nullopt, error::kNameNotResolved},
    };
    for (const auto& c : cases) {
        std::uint32_t error = 0;
        EXPECT_EQ(parseEndpoint(c.text, 0, error), c.endpoint) << c.text;
        EXPECT_EQ(error, c.endpoint ? 0u : c.error) << c.text;
    }
}

// Lines recorded from vsftpd, ProFTPD, pyftpdlib and IIS in its MS-DOS style.
TEST(ParseListLine, GivesTheEntryOrNothing) {
    const struct {
        const char* line;
        std::optional<FindData> entry;
    } cases[] = {
        {"drwxr-xr-x    2 ftp      ftp          4096 Jan 11  2021 Maps",
         FindData{kDir, "Maps", 0, false, "Jan 11 2021"}},
        {"-rw-r--r--   1 root     root         1024 Dec 06  2022 old.uz\n",
         FindData{kFile, "old.uz", 1024, false, "Dec 06 2022"}},
        {"-rw-r--r--   1 u        g              5 Oct 10 10:10 Oct 10 10:10",
         FindData{kFile, "Oct 10 10:10", 5, false, "Oct 10 10:10"}},
        {"lrwxrwxrwx   1 root     root            3 Dec 06 19:13 uz -> /srv/uz/",
         FindData{kDir, "uz", 3, true, "Dec 06 19:13"}},
        {"lrwxrwxrwx   1 root     root            9 Dec 06 19:13 linkdir -> target",
         FindData{kFile, "linkdir", 9, true, "Dec 06 19:13"}},
        {"brw-rw----   1 root     disk       8,  1 Nov 30 08:15 sda1",
         FindData{kFile, "sda1", 1, false, "Nov 30 08:15"}},
        {"-rw-r--r--  1 alice  12 Feb  1 09:00 notes.txt",
         FindData{kFile, "notes.txt", 12, false, "Feb 1 09:00"}},
        {"drwxr-xr-x+ 3 alice staff 96 Feb  1 09:00 Shared",
         FindData{kDir, "Shared", 0, false, "Feb 1 09:00"}},
        {"-rw-r--r-- 1 u g 99 2023-09-02 12:30 iso.txt",
         FindData{kFile, "iso.txt", 99, false, "2023-09-02 12:30"}},
        {"12-31-2023  11:59PM       <DIR>          Unreal Tournament",
         FindData{kDir, "Unreal Tournament", 0, false, "12-31-2023 11:59PM"}},
        {"03-04-21  09:00AM                 1,024  lead.txt",
         FindData{kFile, " lead.txt", 1024, false, "03-04-21 09:00AM"}},
        {"03-04-21  09:00 PM  77 split.txt",
         FindData{kFile, "split.txt", 77, false, "03-04-21 09:00 PM"}},
        {"total 24", std::nullopt},
        {"\r\n", std::nullopt},
        {"-rw-r--r--   1 u g 1 Dec 06 19:13 ", std::nullopt},
        {"ls: cannot open directory .: Permission denied", std::nullopt},
        {"03-04-21  09:00AM       <DIR>", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseListLine(c.line), c.entry) << "\"" << c.line << "\"";
    }
    EXPECT_EQ(shortenName(std::string(258, 'c') + "\xc3\xb6" + "tail"), std::string(258, 'c'))
        << "the cut does not split a character";
    EXPECT_EQ(shortenName(std::string(300, '\xb0')).size(), kMaxNameBytes);
}

// A listing is taken line by line as it arrives, up to the bounds: by default 32767 entries
// or 64 MiB of text, and says which one stopped it.
TEST(ListingReader, StopsAtTheEntryOrTheTextBoundAndSaysWhich) {
    const std::string line = "-rw-r--r-- 1 u g 5 Jan 01 12:00 f\r\n",
                      longLine =
                          "-rw-r--r-- 1 u g 5 Jan 01 12:00 " + std::string(3000, 'n') + "\r\n";
    const std::size_t textBound = line.size() * 2 + 5;
    for (const auto& [text, lines, maxEntries, maxBytes, taken, reason] : std::vector<
             std::tuple<std::string, int, std::size_t, std::size_t, std::size_t, std::string>>{
             {line, 3, 3, 1000, 3, ""},
             {line, 4, 10, textBound, 2,
              "its listing is longer than " + std::to_string(textBound) + " bytes"},
             {line, 32768, kMaxListedEntries, kMaxListingBytes, 32767,
              "the directory holds more than 32767 entries"},
             {longLine, 25000, kMaxListedEntries, kMaxListingBytes,
              kMaxListingBytes / longLine.size(), "its listing is longer than 64 MiB"},
         }) {
        ListingReader reader(maxEntries, maxBytes);
        for (int i = 0; i < lines; ++i) {
            for (std::size_t at = 0; at < text.size(); at += 1000) {  // in pieces, as it arrives
                reader.feed(std::string_view(text).substr(at, 1000));
            }
        }
        const Listing listing = reader.finish();
        EXPECT_EQ(listing.entries.size(), taken) << lines;
        EXPECT_EQ(listing.truncated, !reason.empty()) << lines;
        EXPECT_EQ(listing.truncated ? cutReason(listing) : "", reason) << lines;
    }
}

TEST(ReplyLog, KeepsTheLastCompleteReplyWhateverThePieces) {
    ReplyLog log;
    log.feed("220 ready\r\n530-Sorry\r\n");
    EXPECT_EQ(log.lastReply(), "220 ready\r\n") << "a reply counts once it is complete";
    log.feed(" no entry today\r\n530 Login incorrect.\r\n");
    EXPECT_EQ(log.lastReply(), "530-Sorry\r\n no entry today\r\n530 Login incorrect.\r\n");
    EXPECT_EQ(log.lastCode(), 530u);
    log.feed("21");
    log.feed("1-Features:\n 211 not the end\r\n2");
    log.feed("11 End\n");
    EXPECT_EQ(log.lastReply(), "211-Features:\r\n 211 not the end\r\n211 End\r\n");
    log.feed("garbage\r\n");
    EXPECT_EQ(log.lastCode(), 0u);
    EXPECT_EQ(log.count(), 4u);
}

TEST(RemotePaths, FollowCwdAndTheTreeKeysAndOnlyPlainNamesBecomeLocalTargets) {
    const std::tuple<const char*, const char*, const char*> changes[] = {
        {"/maps/", "uz", "/maps/uz"},
        {"/maps", "/sounds/", "/sounds"},
        {"/maps", "\\", "/maps/\\"},
        {"", "maps", "maps"},
        {"/", "//", "/"},
    };
    for (const auto& [current, requested, result] : changes) {
        EXPECT_EQ(changedDirectory(current, requested), result) << current << " + " << requested;
    }
    // Paths in URLs: every name encoded, every "/" kept; an FTP path from the root starts
    // with "%2F", an SFTP path always with "/", and a folder's ends with "/".
    const std::tuple<std::string, std::string, std::string, std::string> urls[] = {
        {"/maps/my uz", "%2Fmaps/my%20uz/", "%2Fmaps/my%20uz", "/maps/my%20uz/"},
        {"rel//a#b?", "rel//a%23b%3F/", "rel/a%23b%3F", "/rel//a%23b%3F/"},
        {"/", "%2F/", "%2F/", "/"},
        {"", "", "", "/"},
    };
    for (const auto& [path, directory, file, sftpFolder] : urls) {
        EXPECT_EQ(directoryUrlPath(path), directory) << path;
        EXPECT_EQ(fileUrlPath(path), file) << path;
        EXPECT_EQ(sftpUrlPath(path, true), sftpFolder) << path;
    }
    EXPECT_EQ(sftpUrlPath("/home/u/50%.uz", false), "/home/u/50%25.uz");

    const std::tuple<const char*, const char*, const char*> directories[] = {
        {"S", "S", "/"},       {"S/d/e", "S", "/d/e"}, {"S/maps/", "S", "/maps/"},
        {"/S/d", "S", "/S/d"}, {"S/S/d", "S", "/S/d"}, {"\\", "S", "\\"},
        {"S/d", "", "S/d"},
    };
    for (const auto& [path, server, directory] : directories) {
        EXPECT_EQ(remoteDirectory(path, server), directory) << path << " with " << server;
    }
    EXPECT_EQ(uploadDirectory("S/maps", "XYZ"), "aps") << "as many characters as the box holds";
    const NodeState folder = NodeState::kClosedFolder, file = NodeState::kFile;
    EXPECT_EQ(
        treeRows("S", {{16, "d"}, {128, "f"}, {16, "d"}, {17, "r"}, {0x10010, "big"}}),
        (std::vector<TreeRow>{{"S/d", folder}, {"S/f", file}, {"S/r", folder}, {"S/big", file}}))
        << "a name listed twice gives one row; a read-only folder is one, a value past 16 bits not";
    // Only plain names become local targets.
    for (const std::string name : {"CTF-Face.unr", " lead", "..hidden", "..."}) {
        EXPECT_EQ(localTargetPath("/ut", name), std::filesystem::path("/ut") / name) << name;
    }
    for (const std::string& name :
         {std::string(), std::string("."), std::string(".."), std::string("../evil"),
          std::string("sub/file"), std::string("..\\evil"), std::string("cr\rhere"),
          std::string("nul\0byte", 8)}) {
        EXPECT_EQ(localTargetPath("/ut", name), std::nullopt) << name;
    }
}

// A CR at the end of one piece and its LF at the start of the next are still one line end.
TEST(UploadSource, ReadsATextFileWithLfLineEndsWhateverThePieces) {
    test::TempDir dir;
    test::writeFile(dir / "text.ini", "a\r\nb\r\r\nc\rd\n\r\n\r");
    for (std::size_t piece : {2u, 3u, 7u, 100u}) {
        UploadSource source(dir / "text.ini", true);
        ASSERT_EQ(source.open(), 0u);
        std::string read;
        std::vector<char> buffer(piece);
        for (std::size_t got = 0; source.read(buffer.data(), buffer.size(), got) == 0 && got > 0;) {
            read.append(buffer.data(), got);
        }
        EXPECT_EQ(read, "a\nb\r\nc\rd\n\n\r") << "pieces of " << piece;
    }
}

}  // namespace
}  // namespace varnox::ftp
