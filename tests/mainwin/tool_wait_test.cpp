// The wait for the game tool as the main window lives it: stand-in tools that take a known
// time, and a tool that has ended before it is first asked; and the runner on its own.
#include <signal.h>

#include <QTimer>
#include <filesystem>

#include "helpwin/frm_help.h"
#include "mainwin/tool_runner.h"
#include "tests/mainwin/command_fixture.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;

class ToolWait : public CommandTest {
protected:
    // Runs `action` once, `milliseconds` after the command below starts waiting.
    static void during(int milliseconds, std::function<void()> action) {
        QTimer::singleShot(milliseconds, action);
    }
    static QString result(const fs::path& package) {
        return q(package) + " -> " + q(package) + ".uz (100%)";
    }
};

TEST_F(ToolWait, TheDotsRunFromOneToNineAndStartAgainAtOne) {
    startInGame({.withTool = false});
    installSlowTool("1.5", "0");
    const auto package = maps() / "DM-Slow.unr";
    writeFile(package, "map");
    press("cmdCompress", maps() / "DM-Slow.unr");

    ASSERT_GE(statuses_.size(), 2);
    EXPECT_EQ(statuses_.mid(0, 2), compressStart(package));
    const int passes = progressRun(2);
    EXPECT_GE(passes, 11) << "the tenth pass shows one dot, the eleventh two";
    EXPECT_EQ(statuses_.mid(2 + passes), QStringList({"File compressed.", result(package)}));
    EXPECT_TRUE(fs::exists(uz() / "DM-Slow.unr.uz"));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(ToolWait, AToolThatHasAlreadyEndedGivesExactlyOnePass) {
    startInGame();
    processes_.endedAtOnce = true;
    setMoveFiles(false);  // Maps holds the packages
    for (bool queryable : {true, false}) {
        SCOPED_TRACE(queryable ? "status read at once" : "process gone before it was opened");
        processes_.queryable = queryable;
        processes_.statusReads = 0;
        const std::string name = queryable ? "DM-Quick.unr" : "DM-Gone.unr";
        const auto package = maps() / name;
        writeFile(package, packageBytes(3000));
        press("cmdCompress", package);
        ASSERT_EQ(statuses_.size(), 5) << statuses_.join('|').toStdString();
        EXPECT_EQ(statuses_.mid(0, 4), compressStart(package) << "Compressing file. Please wait...."
                                                              << "File compressed.");
        EXPECT_TRUE(resultLine(package).match(statuses_[4]).hasMatch());
        EXPECT_EQ(processes_.statusReads, 1);

        processes_.statusReads = 0;
        press("cmdDecompress", uz() / (name + ".uz"));
        EXPECT_EQ(statuses_, decompressed(uz() / (name + ".uz"), name)) << "no dots";
        EXPECT_EQ(processes_.statusReads, 1);
        EXPECT_TRUE(boxes_.texts().empty());
    }
}

// The inner Compress also unticks the box, which the outer Decompress reads after its wait.
TEST_F(ToolWait, ACompressStartedDuringADecompressWaitFinishesFirst) {
    startInGame({.withTool = false});
    installSlowTool("0.2", "1.3");
    const auto inner = maps() / "DM-Inner.unr";
    writeFile(inner, "inner map");
    writeFile(uz() / "DM-Outer.unr.uz", "outer map");
    select(uz() / "DM-Outer.unr.uz");
    during(300, [&] {
        select(maps() / "DM-Inner.unr");
        setMoveFiles(false);
        button("cmdCompress")->click();
    });
    press("cmdDecompress");

    ASSERT_GE(statuses_.size(), 5);
    EXPECT_EQ(statuses_.mid(0, 5),
              QStringList({q(uz() / "DM-Outer.unr.uz"), "decompressing file... please wait...",
                           "DM-Inner.unr"})  // the file click
                  << compressStart(inner));
    const int passes = progressRun(5);
    EXPECT_GE(passes, 1);
    EXPECT_EQ(statuses_.mid(5 + passes),
              QStringList({"File compressed.", result(inner), "File decompressed.",
                           "the name of the decompressed file is DM-Outer.unr"}));
    EXPECT_TRUE(fs::exists(uz() / "DM-Inner.unr.uz"));
    EXPECT_EQ(readFile(uz() / "DM-Outer.unr"), "outer map")
        << "the outer command moves the package it was started on, by the box as it is now";
    EXPECT_TRUE(boxes_.texts().empty());
    ASSERT_EQ(processes_.starts.size(), 2u);
    EXPECT_EQ(processes_.starts[0].arguments[0], "decompress");
    EXPECT_EQ(processes_.starts[1].arguments[0], "compress");
}

TEST_F(ToolWait, TheWindowAnswersDuringTheWaitAndTheRunKeepsItsSelection) {
    startInGame({.withTool = false});
    installSlowTool("1.3", "0");
    const auto package = maps() / "DM-A.unr";
    writeFile(package, "map");
    select(maps() / "DM-A.unr");
    QString statusMidWait;
    bool helpShownMidWait = false;
    during(300, [&] {
        control<widgets::FolderList>("Dir1")->setPath(q(game_ / "Sounds"));
        button("cmdHelp")->click();
        statusMidWait = window_->status();
        helpShownMidWait = windowsOf<helpwin::frmHelp>().value(0)->isVisible();
    });
    press("cmdCompress");

    EXPECT_TRUE(statusMidWait.startsWith(kProgress)) << statusMidWait.toStdString();
    EXPECT_TRUE(helpShownMidWait);
    EXPECT_TRUE(fs::exists(uz() / "DM-A.unr.uz")) << "the package chosen at the start";
    EXPECT_EQ(window_->status(), result(package));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(game_ / "Sounds"));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(ToolWait, ExitDuringTheWaitEndsTheProgramAndLeavesTheToolRunning) {
    startInGame({.withTool = false});
    installSlowTool("1.3", "0");
    writeFile(maps() / "DM-A.unr", "map");
    select(maps() / "DM-A.unr");
    int endsAtExit = -1;
    int signalResult = -1;
    bool madeAtExit = true;
    during(300, [&] {
        button("cmdExit")->click();
        endsAtExit = endProgramCalls_;
        signalResult = ::kill(processes_.starts.at(0).processId, 0);
        madeAtExit = fs::exists(maps() / "DM-A.unr.uz");
    });
    press("cmdCompress");
    EXPECT_EQ(endsAtExit, 1) << "Exit ends the program in the middle of the wait";
    EXPECT_EQ(signalResult, 0) << "the tool is still there";
    EXPECT_FALSE(madeAtExit) << "and had not finished";
    // The stand-in for ending returns, so the run goes on: the tool was not stopped.
    EXPECT_TRUE(fs::exists(uz() / "DM-A.unr.uz"));
}

// Two runs with dots, one inside the other's wait: each counts its own dots, the inner texts
// form one block, and the outer dots go on after it.
TEST_F(ToolWait, ARunStartedInsideAWaitEndsFirstAndTheOuterDotsGoOn) {
    auto script = [this](const char* name, const char* body) {
        const std::string path = (dir_ / name).string();
        writeFile(path, std::string("#!/bin/sh\n") + body);
        ::chmod(path.c_str(), 0755);
        return path;
    };
    const std::string outer = script("outer.sh", "sleep 0.8\n");
    const std::string inner = script("inner.sh", "sleep 0.3\n");
    QStringList shown;
    auto show = [&](const QString& text) { shown << text; };
    platform::SystemProcessRunner runner;
    int shownBeforeInner = -1;
    during(250, [&] {
        shownBeforeInner = static_cast<int>(shown.size());
        mainwin::ToolRunner(runner, show).runAndWait(inner, {}, QStringLiteral("Inner"));
    });
    mainwin::ToolRunner(runner, show).runAndWait(outer, {}, QStringLiteral("Outer"));

    ASSERT_GE(shownBeforeInner, 1);
    QStringList expected;
    int dots[2] = {0, 0};
    for (const QString& text : shown) {
        const bool isInner = text.startsWith("Inner");
        int& count = dots[isInner];
        count = count % 9 + 1;
        expected << (isInner ? "Inner" : "Outer") + QString(count, '.');
    }
    EXPECT_EQ(shown, expected) << "each run counts its own dots";
    const int first = static_cast<int>(shown.indexOf(QRegularExpression("Inner.*")));
    const int last = static_cast<int>(shown.lastIndexOf(QRegularExpression("Inner.*")));
    EXPECT_EQ(first, shownBeforeInner);
    EXPECT_EQ(last - first + 1, dots[1]) << "the outer wait is held while the inner one runs";
    EXPECT_GT(shown.size(), last + 1) << "the outer wait resumed after the inner run";
}

}  // namespace
}  // namespace varnox::test
