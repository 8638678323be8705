// The tool runner on its own, with shell scripts as the tool.
#include "mainwin/tool_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

#include "tests/mainwin/qstring_print.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::test {
namespace {

class Runner : public ::testing::Test {
protected:
    std::string script(const std::string& name, const std::string& body) {
        const auto path = dir_ / name;
        writeFile(path, "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
        return path.string();
    }

    mainwin::ToolRunner runner(platform::ProcessRunner& processes) {
        return mainwin::ToolRunner(processes, [this](const QString& text) { shown_ << text; });
    }

    TempDir dir_;
    platform::SystemProcessRunner system_;
    QStringList shown_;
};

TEST_F(Runner, ARunStartedInsideAWaitEndsFirstAndTheOuterDotsGoOn) {
    const std::string outer = script("outer.sh", "sleep 0.8\n");
    const std::string inner = script("inner.sh", "sleep 0.3\n");
    auto r = runner(system_);
    int shownBeforeInner = -1;
    QTimer::singleShot(250, [&] {
        shownBeforeInner = static_cast<int>(shown_.size());
        auto nested = runner(system_);
        nested.runAndWait(inner, {}, QStringLiteral("Inner"));
    });
    r.runAndWait(outer, {}, QStringLiteral("Outer"));

    ASSERT_GE(shownBeforeInner, 1);
    QStringList expected;
    int outerDots = 0;
    int innerDots = 0;
    for (int i = 0; i < shown_.size(); ++i) {
        const bool isInner = shown_[i].startsWith("Inner");
        int& dots = isInner ? innerDots : outerDots;
        dots = dots % 9 + 1;
        expected << (isInner ? "Inner" : "Outer") + QString(dots, '.');
        if (i < shownBeforeInner) {
            EXPECT_FALSE(isInner) << i;
        }
    }
    EXPECT_EQ(shown_, expected) << "each run counts its own dots";
    EXPECT_GE(innerDots, 1);
    // The inner texts form one block: the outer wait is held while the inner one runs.
    const int first = static_cast<int>(shown_.indexOf(QRegularExpression("Inner.*")));
    const int last = static_cast<int>(shown_.lastIndexOf(QRegularExpression("Inner.*")));
    EXPECT_EQ(first, shownBeforeInner);
    EXPECT_EQ(last - first + 1, innerDots);
    EXPECT_GT(shown_.size(), last + 1) << "the outer wait resumed after the inner run";
}

}  // namespace
}  // namespace varnox::test
