// The local side of transfers, on real files in a temporary folder.
#include "ftp/local_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "ftp/errors.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::ftp {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::size_t entriesIn(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(PendingDownload, ReplacesTheTargetOnlyOnCommit) {
    TempDir dir;
    writeFile(dir / "map.unr", "old bytes");
    {
        PendingDownload download(dir / "map.unr", false);
        ASSERT_EQ(download.open(), 0u);
        ASSERT_TRUE(download.write("new", 3));
        EXPECT_EQ(readFile(dir / "map.unr"), "old bytes");
        ASSERT_EQ(download.commit(), 0u);
    }
    EXPECT_EQ(readFile(dir / "map.unr"), "new");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(PendingDownload, LeavesNothingBehindWithoutCommit) {
    TempDir dir;
    writeFile(dir / "map.unr", "old bytes");
    {
        PendingDownload download(dir / "map.unr", false);
        ASSERT_EQ(download.open(), 0u);
        ASSERT_TRUE(download.write("partial", 7));
        EXPECT_EQ(entriesIn(dir.path()), 2u);
    }
    EXPECT_EQ(readFile(dir / "map.unr"), "old bytes");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(PendingDownload, RefusesBadTargets) {
    TempDir dir;
    writeFile(dir / "there.txt", "x");
    std::filesystem::create_directory(dir / "folder");
    writeFile(dir / "file", "not a folder");
    struct Case {
        std::filesystem::path target;
        bool failIfExists;
        std::uint32_t error;
    };
    const Case cases[] = {
        {dir / "there.txt", true, error::kFileExists},
        {dir / "folder", false, error::kAccessDenied},
        {dir / "missing" / "x.txt", false, error::kPathNotFound},
        {dir / "file" / "x.txt", false, error::kPathNotFound},
        {dir / ".", false, error::kInvalidParameter},
        {dir / "..", false, error::kInvalidParameter},
        {dir.path() / "", false, error::kInvalidParameter},
    };
    for (const Case& c : cases) {
        PendingDownload download(c.target, c.failIfExists);
        EXPECT_EQ(download.open(), c.error) << c.target;
    }
    EXPECT_EQ(readFile(dir / "there.txt"), "x");
}

TEST(PendingDownload, FailIfExistsHoldsWhenTheFileAppearsMeanwhile) {
    TempDir dir;
    PendingDownload download(dir / "late.txt", true);
    ASSERT_EQ(download.open(), 0u);
    ASSERT_TRUE(download.write("mine", 4));
    writeFile(dir / "late.txt", "theirs");
    EXPECT_EQ(download.commit(), error::kFileExists);
    EXPECT_EQ(readFile(dir / "late.txt"), "theirs");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(UploadSource, NamesWhatIsWrongWithTheLocalFile) {
    TempDir dir;
    writeFile(dir / "pkg.uz", "12345");
    UploadSource good(dir / "pkg.uz");
    ASSERT_EQ(good.open(), 0u);
    EXPECT_EQ(good.size(), 5);
    char buffer[8];
    EXPECT_EQ(good.read(buffer, sizeof buffer), 5);
    EXPECT_EQ(good.read(buffer, sizeof buffer), 0);

    EXPECT_EQ(UploadSource(dir / "absent.uz").open(), error::kFileNotFound);
    EXPECT_EQ(UploadSource(dir / "no-folder" / "absent.uz").open(), error::kPathNotFound);
    EXPECT_EQ(UploadSource(dir.path()).open(), error::kAccessDenied);
}

TEST(UploadSource, ReadsCrlfAsLfForTextWhateverThePieceSize) {
    TempDir dir;
    writeFile(dir / "text.ini", "a\r\nb\r\r\nc\rd\n\r\n\r");
    const std::string expected = "a\nb\r\nc\rd\n\n\r";
    for (std::size_t piece : {2u, 3u, 4u, 7u, 100u}) {
        UploadSource source(dir / "text.ini", true);
        ASSERT_EQ(source.open(), 0u);
        std::string read;
        std::vector<char> buffer(piece);
        long got = 0;
        while ((got = source.read(buffer.data(), buffer.size())) > 0) {
            read.append(buffer.data(), static_cast<std::size_t>(got));
        }
        EXPECT_EQ(got, 0);
        EXPECT_EQ(read, expected) << "pieces of " << piece;
    }
    UploadSource binary(dir / "text.ini", false);
    ASSERT_EQ(binary.open(), 0u);
    char buffer[64];
    EXPECT_EQ(binary.read(buffer, sizeof buffer), 14);
}

}  // namespace
}  // namespace varnox::ftp
