#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/failure.h"
#include "platform/process.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::platform {
namespace {

unsigned waitForEnd(SystemProcessRunner& runner, int pid) {
    unsigned status = 0;
    for (int i = 0; i < 500; ++i) {
        if (!runner.exitStatus(pid, status)) {
            ADD_FAILURE() << "process cannot be queried";
            return status;
        }
        if (status != ProcessRunner::kStillActive) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "process did not end";
    return status;
}

TEST(SystemProcessRunner, ReportsStillActiveThenTheExitStatus) {
    SystemProcessRunner runner;
    int pid = runner.start("/bin/sh", {"-c", "sleep 0.3; exit 3"});
    unsigned status = 0;
    ASSERT_TRUE(runner.exitStatus(pid, status));
    EXPECT_EQ(status, ProcessRunner::kStillActive);
    EXPECT_EQ(waitForEnd(runner, pid), 3u);
    status = 77;
    EXPECT_FALSE(runner.exitStatus(pid, status)) << "an ended process is reported once";
    EXPECT_EQ(status, 77u) << "status untouched when the query fails";
}

TEST(SystemProcessRunner, PassesEachArgumentIntactWithoutAShell) {
    test::TempDir dir;
    std::string out = (dir / "out").string();
    SystemProcessRunner runner;
    std::string tricky = "-rf my map; $(touch pwned) 'q' \"d\" *.unr";
    int pid = runner.start("/bin/sh", {"-c", "printf '%s' \"$1\" > \"$2\"", "sh", tricky, out});
    EXPECT_EQ(waitForEnd(runner, pid), 0u);
    EXPECT_EQ(test::readFile(out), tricky);
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
}

TEST(SystemProcessRunner, AMissingProgramFailsNamingIt) {
    SystemProcessRunner runner;
    try {
        runner.start("/nowhere/System/ucc.exe", {"compress", "x"});
        FAIL() << "started a missing program";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), failure::kFileNotFound);
        EXPECT_NE(std::string(failure.what()).find("/nowhere/System/ucc.exe"), std::string::npos);
    }
}

}  // namespace
}  // namespace varnox::platform
