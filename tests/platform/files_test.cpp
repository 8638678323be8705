#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/failure.h"
#include "platform/files.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

int failureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

TEST(MoveFileIntoFolder, MovesUnderItsOwnName) {
    TempDir dir;
    writeFile(dir / "System" / "Map.unr", "package");
    fs::create_directories(dir / "Maps");
    moveFileIntoFolder((dir / "System" / "Map.unr").string(), (dir / "Maps").string() + "/");
    EXPECT_EQ(readFile(dir / "Maps" / "Map.unr"), "package");
    EXPECT_FALSE(fs::exists(dir / "System" / "Map.unr"));
}

TEST(MoveFileIntoFolder, RefusesAndKeepsEveryFile) {
    TempDir dir;
    writeFile(dir / "System" / "Map.unr", "new");
    writeFile(dir / "Maps" / "Map.unr", "old");
    struct {
        const char* name;
        std::string source;
        std::string folder;
        int number;
    } cases[] = {
        {"source missing", (dir / "System" / "Gone.unr").string(), (dir / "Maps").string(),
         failure::kFileNotFound},
        {"folder missing", (dir / "System" / "Map.unr").string(), (dir / "Nowhere/").string(),
         failure::kPathNotFound},
        {"name taken", (dir / "System" / "Map.unr").string(), (dir / "Maps/").string(),
         failure::kFileAlreadyExists},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureNumber([&] { moveFileIntoFolder(c.source, c.folder); }), c.number)
            << c.name;
        EXPECT_EQ(readFile(dir / "System" / "Map.unr"), "new") << c.name;
        EXPECT_EQ(readFile(dir / "Maps" / "Map.unr"), "old") << c.name;
    }
}

TEST(MoveFileIntoFolder, CrossesVolumesWithoutOverwriting) {
    // /dev/shm is a separate volume on most machines; skip where it is not.
    std::error_code error;
    if (!fs::is_directory("/dev/shm", error)) {
        GTEST_SKIP() << "no /dev/shm";
    }
    TempDir dir;
    struct stat a {
    }, b{};
    ::stat("/dev/shm", &a);
    ::stat(dir.str().c_str(), &b);
    if (a.st_dev == b.st_dev) {
        GTEST_SKIP() << "/dev/shm is on the same volume as the temporary folder";
    }
    std::string source = "/dev/shm/varnox-move-test-" + std::to_string(::getpid());
    writeFile(source, "across");
    moveFileIntoFolder(source, dir.str());
    EXPECT_EQ(readFile(dir / fs::path(source).filename()), "across");
    EXPECT_FALSE(fs::exists(source));

    writeFile(source, "second");
    EXPECT_EQ(failureNumber([&] { moveFileIntoFolder(source, dir.str()); }),
              failure::kFileAlreadyExists);
    EXPECT_EQ(readFile(dir / fs::path(source).filename()), "across");
    EXPECT_EQ(readFile(source), "second");
    fs::remove(source);
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().rfind(".varnox-move", 0), std::string::npos)
            << "temporary file left behind";
    }
}

TEST(CreateFolder, FailsWhenPresentOrParentMissing) {
    TempDir dir;
    createFolder((dir / "uz").string());
    EXPECT_TRUE(folderExists((dir / "uz").string()));
    EXPECT_EQ(failureNumber([&] { createFolder((dir / "uz").string()); }),
              failure::kFileAlreadyExists);
    EXPECT_EQ(failureNumber([&] { createFolder((dir / "a" / "b").string()); }),
              failure::kPathNotFound);
}

TEST(WriteTextFileLine, WritesOneLineWithCrLfAndReplaces) {
    TempDir dir;
    writeFile(dir / "a.txt", "something much longer than the new line");
    writeTextFileLine((dir / "a.txt").string(), "Do NOT delete this file.");
    EXPECT_EQ(readFile(dir / "a.txt"), "Do NOT delete this file.\r\n");
    EXPECT_NE(failureNumber([&] { writeTextFileLine((dir / "none" / "a.txt").string(), "x"); }), 0);
}

TEST(OrdinaryFileExists, OnlyForFiles) {
    TempDir dir;
    writeFile(dir / "file", "x");
    fs::create_directories(dir / "folder");
    fs::create_symlink(dir / "file", dir / "link");
    fs::create_symlink(dir / "missing", dir / "dangling");
    EXPECT_TRUE(ordinaryFileExists((dir / "file").string()));
    EXPECT_TRUE(ordinaryFileExists((dir / "link").string()));
    EXPECT_FALSE(ordinaryFileExists((dir / "folder").string()));
    EXPECT_FALSE(ordinaryFileExists((dir / "dangling").string()));
    EXPECT_FALSE(ordinaryFileExists(""));
}

TEST(FindFileIgnoringCase, PrefersTheExactNameThenAnyCase) {
    TempDir dir;
    writeFile(dir / "System" / "UCC.exe", "tool");
    std::string system = (dir / "System").string();
    EXPECT_EQ(findFileIgnoringCase(system, "ucc.exe"), system + "/UCC.exe");
    writeFile(dir / "System" / "ucc.exe", "exact");
    EXPECT_EQ(findFileIgnoringCase(system, "ucc.exe"), system + "/ucc.exe");
    EXPECT_EQ(findFileIgnoringCase(system, "other.exe"), system + "/other.exe");
    EXPECT_EQ(findFileIgnoringCase((dir / "none").string(), "ucc.exe"),
              (dir / "none").string() + "/ucc.exe");
}

TEST(Listing, FilesAndFoldersInTheOrderTheListsShow) {
    TempDir dir;
    for (const char* name : {"b.unr", "A.uax", ".hidden", "c.UZ"}) {
        writeFile(dir / name, "x");
    }
    for (const char* name : {"Maps", ".wine", "music", "System"}) {
        fs::create_directories(dir / name);
    }
    EXPECT_EQ(listFiles(dir.str()), (std::vector<std::string>{"A.uax", "b.unr", "c.UZ"}));
    EXPECT_EQ(listFolders(dir.str()),
              (std::vector<std::string>{"Maps", "music", "System", ".wine"}));
    EXPECT_EQ(failureNumber([&] { listFiles((dir / "gone").string()); }), failure::kPathNotFound);
}

TEST(PathText, NamesAndFolders) {
    EXPECT_EQ(baseName("/a/b.unr"), "b.unr");
    EXPECT_EQ(baseName("/a/b/"), "b");
    EXPECT_EQ(parentFolder("/a/b.unr"), "/a");
    EXPECT_EQ(parentFolder("/a"), "/");
    EXPECT_EQ(joinPath("/", "x"), "/x");
    EXPECT_EQ(joinPath("/a/", "x"), "/a/x");
    EXPECT_EQ(joinPath("/a", "x"), "/a/x");
}

}  // namespace
}  // namespace varnox::platform
