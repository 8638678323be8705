// The file functions: results appear whole or not at all, and errors name the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/uz/uz_test_support.h"
#include "uz/file_io.h"
#include "uz/files.h"

namespace varnox::uz::test {
namespace {

namespace fs = std::filesystem;
using varnox::test::TempDir;

std::string asText(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// The names in a folder, sorted, to spot leftovers such as temporary files.
std::vector<std::string> entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Files, CompressAndDecompressRoundTrip) {
    TempDir dir;
    const Bytes package = mixedBytes(400000, 21);
    varnox::test::writeFile(dir / "Map.unr", asText(package));
    const FileSizes sizes = compressFile(dir / "Map.unr", dir / "Map.unr.uz");
    EXPECT_EQ(sizes.input, package.size());
    EXPECT_EQ(sizes.output, fs::file_size(dir / "Map.unr.uz"));

    fs::create_directory(dir / "out");
    const DecompressedFile result = decompressFile(dir / "Map.unr.uz", dir / "out" / "Other.unr");
    EXPECT_EQ(result.storedName, "Map.unr");
    EXPECT_EQ(result.signature, Signature::Standard);
    EXPECT_EQ(readBytes(dir / "out" / "Other.unr"), package);
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"Map.unr", "Map.unr.uz", "out"}));
}

TEST(Files, CompressWritesTheGoldenBytesForTheSourceName) {
    TempDir dir;
    fs::copy_file(vectorsDir() / "text.bin", dir / "text.bin");
    compressFile(dir / "text.bin", dir / "result.uz", Signature::DoubleRle);
    EXPECT_EQ(readBytes(dir / "result.uz"), readBytes(vectorsDir() / "5678" / "text.bin.uz"));
}

TEST(Files, CorruptInputLeavesTheExistingPackageAndNoOtherFile) {
    TempDir dir;
    Bytes uz = readBytes(vectorsDir() / "1234" / "package.bin.uz");
    uz.resize(uz.size() / 2);
    varnox::test::writeFile(dir / "package.bin.uz", asText(uz));
    varnox::test::writeFile(dir / "package.bin", "the existing package");
    try {
        decompressFile(dir / "package.bin.uz", dir / "package.bin");
        FAIL() << "decoded a truncated file";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), error::kInputPastEnd);
        EXPECT_NE(std::string(e.what()).find((dir / "package.bin.uz").string()), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(varnox::test::readFile(dir / "package.bin"), "the existing package");
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"package.bin", "package.bin.uz"}));
}

TEST(Files, SuccessReplacesAnExistingPackage) {
    TempDir dir;
    fs::copy_file(vectorsDir() / "5678" / "runs.bin.uz", dir / "runs.bin.uz");
    varnox::test::writeFile(dir / "runs.bin", "old");
    decompressFile(dir / "runs.bin.uz", dir / "runs.bin");
    EXPECT_EQ(readBytes(dir / "runs.bin"), readBytes(vectorsDir() / "runs.bin"));
}

struct FileErrorCase {
    const char* label;
    std::function<void(const TempDir&)> run;
    int number;
    std::string named;
};

TEST(Files, ErrorsCarryANumberAndNameTheFile) {
    const FileErrorCase cases[] = {
        {"missing package",
         [](const TempDir& d) { compressFile(d / "none.unr", d / "none.unr.uz"); },
         failure::kFileNotFound, "none.unr"},
        {"missing .uz", [](const TempDir& d) { decompressFile(d / "none.unr.uz", d / "none.unr"); },
         failure::kFileNotFound, "none.unr.uz"},
        {"package is a folder",
         [](const TempDir& d) {
             fs::create_directory(d / "Maps.unr");
             compressFile(d / "Maps.unr", d / "Maps.unr.uz");
         },
         failure::kPathFileAccessError, "Maps.unr"},
        {"target folder missing",
         [](const TempDir& d) {
             fs::copy_file(vectorsDir() / "1234" / "one.bin.uz", d / "one.bin.uz");
             decompressFile(d / "one.bin.uz", d / "no" / "one.bin");
         },
         failure::kFileNotFound, "one.bin"},
        {"target is a folder",
         [](const TempDir& d) {
             fs::copy_file(vectorsDir() / "1234" / "one.bin.uz", d / "one.bin.uz");
             fs::create_directories(d / "one.bin" / "inside");
             decompressFile(d / "one.bin.uz", d / "one.bin");
         },
         failure::kPathFileAccessError, "one.bin"},
        {"not a .uz file",
         [](const TempDir& d) {
             varnox::test::writeFile(d / "text.uz", "hello, world");
             decompressFile(d / "text.uz", d / "text");
         },
         error::kInvalidFormat, "text.uz"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        try {
            c.run(dir);
            ADD_FAILURE() << c.label;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), c.number) << c.label << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
        for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
            EXPECT_NE(e.path().extension(), ".part") << c.label << " left " << e.path();
        }
    }
}

}  // namespace
}  // namespace varnox::uz::test
