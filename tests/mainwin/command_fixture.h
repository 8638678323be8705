#pragma once

#include <sys/stat.h>

#include <QCheckBox>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <string>

#include "tests/mainwin/main_window_fixture.h"
#include "tests/mainwin/qstring_print.h"
#include "tests/support/files.h"
#include "tests/support/game_folder.h"

namespace varnox::test {

// A main window over a game folder on drive c:, with config.txt pointing at it, for running
// Compress and Decompress.
class CommandTest : public MainWindowTest {
protected:
    static constexpr const char* kProgress = "Compressing file. Please wait...";

    // Lays out the game folder (our ucc as System/UCC.exe unless told otherwise), writes
    // config.txt and starts the window.
    void startInGame(GameFolderOptions options = {}) {
        makeGameFolder(game_, options);
        writeConfig(game_.string(), "c:");
        start();
    }

    std::filesystem::path system() const { return game_ / "System"; }
    std::filesystem::path maps() const { return game_ / "Maps"; }
    std::filesystem::path uz() const { return game_ / "uz"; }

    // Replaces the game tool with a shell script.
    void installScriptTool(const std::string& body) {
        const auto tool = system() / "UCC.exe";
        std::filesystem::remove(tool);
        writeFile(tool, "#!/bin/sh\n" + body);
        ::chmod(tool.c_str(), 0755);
    }

    // A stand-in for the game tool that does its work after the given delays (seconds) and
    // leaves the results and log lines our tool leaves; the compressed file is a copy.
    void installSlowTool(const std::string& compressDelay, const std::string& decompressDelay) {
        installScriptTool("here=$(dirname \"$0\")\ncase \"$1\" in\ncompress)\n  sleep " +
                          compressDelay + R"(
  cat "$2" > "$2.uz"
  printf 'Log: Compressed %s -> %s.uz (100%%)\r\n' "$2" "$2" > "$here/UCC.log" ;;
decompress)
  sleep )" + decompressDelay +
                          R"(
  name=$(basename "$2"); name=${name%???}
  cat "$2" > "$here/$name"
  printf 'Log: Decompressed %s -> %s\r\n' "$2" "$name" > "$here/UCC.log" ;;
esac
)");
    }

    // Points the browser at the file's folder, reads it afresh and clicks the file.
    void select(const std::filesystem::path& file) {
        control<widgets::FolderList>("Dir1")->setPath(q(file.parent_path()));
        control<widgets::FileList>("File1")->refresh();
        clickFile(q(file.filename()));
    }

    // Clicks Compress or Decompress, on `file` selected first when one is given, with the
    // status texts and message boxes of earlier handlers forgotten.
    void press(const char* name, const std::filesystem::path& file = {}) {
        if (!file.empty()) {
            select(file);
        }
        statuses_.clear();
        boxes_.clear();
        button(name)->click();
    }

    void setMoveFiles(bool checked) { control<QCheckBox>("chkMoveFiles")->setChecked(checked); }

    // The one message box shown since the last press.
    QString onlyBox() const {
        EXPECT_EQ(boxes_.texts().size(), 1u);
        return boxes_.texts().empty() ? QString() : boxes_.texts().front();
    }

    // Counts the progress texts from `from` on, checking their dots (1 to 9, then 1 again),
    // and returns how many there were in a row.
    int progressRun(int from) {
        int passes = 0;
        for (int i = from; i < statuses_.size() && statuses_[i].startsWith(kProgress); ++i) {
            ++passes;
            EXPECT_EQ(statuses_[i], kProgress + QString((passes - 1) % 9 + 1, '.')) << i;
        }
        return passes;
    }

    // The status texts of a Compress before its wait, and of a whole Decompress.
    static QStringList compressStart(const std::filesystem::path& package) {
        return {"You have selected: " + q(package), "Compressing file... please wait..."};
    }
    static QStringList decompressed(const std::filesystem::path& uzFile,
                                    const std::string& package) {
        return {q(uzFile), "decompressing file... please wait...", "File decompressed.",
                "the name of the decompressed file is " + QString::fromStdString(package)};
    }

    // The compress result line our tool writes into its log, as the status line shows it.
    static QRegularExpression resultLine(const std::filesystem::path& package) {
        const QString path = q(package);
        return QRegularExpression("^" + QRegularExpression::escape(path) + " -> " +
                                  QRegularExpression::escape(path + ".uz") + " \\(\\d+%\\)$");
    }

    std::filesystem::path game_ = dir_ / "c" / "UnrealTournament";
};

// `count` bytes that look a little like a game package: runs and a repeated record.
inline std::string packageBytes(std::size_t count, unsigned seed = 1) {
    std::string bytes;
    for (unsigned state = seed; bytes.size() < count;) {
        state = state * 1103515245u + 12345u;
        bytes.append(1 + (state >> 20) % 40, static_cast<char>(state >> 8));
        bytes += "Brush\x01\x02Light\x03";
    }
    bytes.resize(count);
    return bytes;
}

}  // namespace varnox::test
