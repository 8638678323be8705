// The wait for the game tool as the main window lives it: stand-in tools that take a known
// time, and a tool that has ended before it is first asked.
#include <signal.h>

#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <filesystem>

#include "helpwin/frm_help.h"
#include "tests/mainwin/command_fixture.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;

class ToolWait : public CommandTest {
protected:
    // Counts the progress texts from `from` on, checking their dots, and returns how many
    // there were in a row.
    int progressRun(int from) {
        int passes = 0;
        for (int i = from; i < statuses_.size() && statuses_[i].startsWith(kProgress); ++i) {
            ++passes;
            EXPECT_EQ(statuses_[i], kProgress + QString((passes - 1) % 9 + 1, '.')) << i;
        }
        return passes;
    }

    // Runs `action` once, `milliseconds` after the command below starts waiting.
    static void during(int milliseconds, std::function<void()> action) {
        QTimer::singleShot(milliseconds, action);
    }
};

TEST_F(ToolWait, TheDotsRunFromOneToNineAndStartAgainAtOne) {
    startInGame({.withTool = false});
    installSlowTool("1.5", "0");
    const auto package = maps() / "DM-Slow.unr";
    writeFile(package, "map");
    select(maps(), "DM-Slow.unr");
    press("cmdCompress");

    ASSERT_GE(statuses_.size(), 2);
    EXPECT_EQ(statuses_[0], "You have selected: " + q(package));
    EXPECT_EQ(statuses_[1], "Compressing file... please wait...");
    const int passes = progressRun(2);
    EXPECT_GE(passes, 11) << "the tenth pass shows one dot, the eleventh two";
    ASSERT_EQ(statuses_.size(), 2 + passes + 2);
    EXPECT_EQ(statuses_[2 + passes], "File compressed.");
    EXPECT_EQ(statuses_[3 + passes], q(package) + " -> " + q(package) + ".uz (100%)");
    EXPECT_TRUE(fs::exists(uz() / "DM-Slow.unr.uz"));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(ToolWait, AToolThatHasAlreadyEndedGivesExactlyOnePass) {
    startInGame({.withTool = false});
    EndedProcessRunner ended;
    ended.work = [this](const std::vector<std::string>& arguments) {
        const std::string& path = arguments.at(1);
        if (arguments.at(0) == "compress") {
            writeFile(path + ".uz", "uz");
            writeFile(system() / "UCC.log",
                      "Log: Compressed " + path + " -> " + path + ".uz (100%)\r\n");
        } else {
            const std::string name = fs::path(path).filename().string();
            writeFile(system() / name.substr(0, name.size() - 3), "package");
        }
    };
    processes_.substitute = &ended;
    control<QCheckBox>("chkMoveFiles")->setChecked(false);  // Maps holds the packages
    for (bool queryable : {true, false}) {
        SCOPED_TRACE(queryable ? "status read at once" : "process gone before it was opened");
        ended.queryable = queryable;
        ended.statusReads = 0;
        const std::string name = queryable ? "DM-Quick.unr" : "DM-Gone.unr";
        const auto package = maps() / name;
        writeFile(package, "map");
        select(maps(), QString::fromStdString(name));
        press("cmdCompress");
        EXPECT_EQ(statuses_, QStringList({"You have selected: " + q(package),
                                          "Compressing file... please wait...",
                                          "Compressing file. Please wait....", "File compressed.",
                                          q(package) + " -> " + q(package) + ".uz (100%)"}));
        EXPECT_EQ(ended.statusReads, 1);

        ended.statusReads = 0;
        select(uz(), QString::fromStdString(name + ".uz"));
        press("cmdDecompress");
        EXPECT_EQ(
            statuses_,
            QStringList({q(uz() / (name + ".uz")), "decompressing file... please wait...",
                         "File decompressed.",
                         "the name of the decompressed file is " + QString::fromStdString(name)}))
            << "Decompress shows no dots";
        EXPECT_EQ(ended.statusReads, 1);
        EXPECT_TRUE(boxes_.texts().empty());
    }
}

TEST_F(ToolWait, ACompressStartedDuringADecompressWaitFinishesFirst) {
    startInGame({.withTool = false});
    installSlowTool("0.2", "1.3");
    const auto inner = maps() / "DM-Inner.unr";
    writeFile(inner, "inner map");
    writeFile(uz() / "DM-Outer.unr.uz", "outer map");
    select(uz(), "DM-Outer.unr.uz");
    during(300, [&] {
        select(maps(), "DM-Inner.unr");
        button("cmdCompress")->click();
    });
    press("cmdDecompress");

    ASSERT_GE(statuses_.size(), 5);
    EXPECT_EQ(statuses_[0], q(uz() / "DM-Outer.unr.uz"));
    EXPECT_EQ(statuses_[1], "decompressing file... please wait...");
    EXPECT_EQ(statuses_[2], "DM-Inner.unr") << "the file click";
    EXPECT_EQ(statuses_[3], "You have selected: " + q(inner));
    EXPECT_EQ(statuses_[4], "Compressing file... please wait...");
    const int passes = progressRun(5);
    EXPECT_GE(passes, 1);
    EXPECT_EQ(
        statuses_.mid(5 + passes),
        QStringList({"File compressed.", q(inner) + " -> " + q(inner) + ".uz (100%)",
                     "File decompressed.", "the name of the decompressed file is DM-Outer.unr"}));

    EXPECT_TRUE(fs::exists(uz() / "DM-Inner.unr.uz"));
    EXPECT_EQ(readFile(maps() / "DM-Outer.unr"), "outer map")
        << "the outer command moves the package it was started on";
    EXPECT_TRUE(boxes_.texts().empty());
    EXPECT_EQ(window_->stSelectedFile, inner.string()) << "the last run to start wrote it";
    EXPECT_EQ(window_->stCompressedName, "DM-Inner.unr.uz");
    EXPECT_EQ(window_->stDecompressedName, "DM-Outer.unr");
    ASSERT_EQ(processes_.starts.size(), 2u);
    EXPECT_EQ(processes_.starts[0].arguments[0], "decompress");
    EXPECT_EQ(processes_.starts[1].arguments[0], "compress");
}

TEST_F(ToolWait, TheWindowAnswersDuringTheWaitAndTheRunKeepsItsSelection) {
    startInGame({.withTool = false});
    installSlowTool("1.3", "0");
    const auto package = maps() / "DM-A.unr";
    writeFile(package, "map");
    writeFile(game_ / "Sounds" / "Bell.uax", "sound");
    select(maps(), "DM-A.unr");
    QString statusMidWait;
    bool helpShownMidWait = false;
    QString filesMidWait;
    during(300, [&] {
        control<widgets::FolderList>("Dir1")->setPath(q(game_ / "Sounds"));
        button("cmdHelp")->click();
        statusMidWait = window_->status();
        filesMidWait = control<widgets::FileList>("File1")->path();
        for (auto* w : QApplication::topLevelWidgets()) {
            helpShownMidWait |= qobject_cast<helpwin::frmHelp*>(w) != nullptr && w->isVisible();
        }
    });
    press("cmdCompress");

    EXPECT_TRUE(statusMidWait.startsWith(kProgress)) << statusMidWait.toStdString();
    EXPECT_TRUE(helpShownMidWait);
    EXPECT_EQ(filesMidWait, q(game_ / "Sounds"));
    EXPECT_TRUE(fs::exists(uz() / "DM-A.unr.uz")) << "the package chosen at the start";
    EXPECT_EQ(window_->status(), q(package) + " -> " + q(package) + ".uz (100%)");
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(game_ / "Sounds"));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(ToolWait, TheMoveFilesBoxIsReadAfterTheWait) {
    startInGame({.withTool = false});
    installSlowTool("0", "0.8");
    writeFile(uz() / "DM-Box.unr.uz", "map");
    select(uz(), "DM-Box.unr.uz");
    ASSERT_TRUE(control<QCheckBox>("chkMoveFiles")->isChecked());
    during(300, [&] { control<QCheckBox>("chkMoveFiles")->setChecked(false); });
    press("cmdDecompress");
    EXPECT_TRUE(fs::exists(uz() / "DM-Box.unr"));
    EXPECT_FALSE(fs::exists(maps() / "DM-Box.unr"));
    EXPECT_EQ(window_->stDestFolder, uzPath());
}

TEST_F(ToolWait, AFileThatAppearsInTheUzFolderDuringTheWaitIsNotOverwritten) {
    startInGame({.withTool = false});
    installSlowTool("0.8", "0");
    writeFile(maps() / "DM-A.unr", "map");
    select(maps(), "DM-A.unr");
    during(300, [&] { writeFile(uz() / "DM-A.unr.uz", "already here"); });
    press("cmdCompress");
    ASSERT_EQ(boxes_.texts().size(), 1u);
    EXPECT_EQ(boxes_.texts()[0], "Error 58: File already exists: " + q(uz() / "DM-A.unr.uz"));
    EXPECT_EQ(readFile(uz() / "DM-A.unr.uz"), "already here");
    EXPECT_EQ(readFile(maps() / "DM-A.unr.uz"), "map") << "the new one stays beside the package";
    EXPECT_EQ(window_->status(),
              "File compressed, but not moved into the uz folder: it stays beside the package.");
}

TEST_F(ToolWait, ExitDuringTheWaitEndsTheProgramAndLeavesTheToolRunning) {
    startInGame({.withTool = false});
    installSlowTool("1.3", "0");
    writeFile(maps() / "DM-A.unr", "map");
    select(maps(), "DM-A.unr");
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

}  // namespace
}  // namespace varnox::test
