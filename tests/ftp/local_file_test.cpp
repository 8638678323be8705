// The local side of transfers, on real files, for what no transfer from a server can set up;
// transfer_test.cpp covers the rest end to end.
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

TEST(PendingDownload, FailIfExistsHoldsWhenTheFileAppearsMeanwhile) {
    TempDir dir;
    PendingDownload download(dir / "late.txt", true);
    ASSERT_EQ(download.open(), 0u);
    ASSERT_TRUE(download.write("mine", 4));
    writeFile(dir / "late.txt", "theirs");
    EXPECT_EQ(download.commit(), error::kFileExists);
    EXPECT_EQ(readFile(dir / "late.txt"), "theirs");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(UploadSource, ReadsCrlfAsLfForTextWhateverThePieceSize) {
    TempDir dir;
    writeFile(dir / "text.ini", "a\r\nb\r\r\nc\rd\n\r\n\r");
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
        EXPECT_EQ(read, "a\nb\r\nc\rd\n\n\r") << "pieces of " << piece;
    }
}

}  // namespace
}  // namespace varnox::ftp
