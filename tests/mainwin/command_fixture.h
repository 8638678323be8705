#pragma once

#include <sys/stat.h>

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
    std::string uzPath() const { return game_.string() + "/uz/"; }

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
        installScriptTool(
            "here=$(dirname \"$0\")\n"
            "case \"$1\" in\n"
            "compress)\n"
            "  sleep " +
            compressDelay +
            "\n"
            "  cat \"$2\" > \"$2.uz\"\n"
            "  printf 'Log: Compressed %s -> %s.uz (100%%)\\r\\n' \"$2\" \"$2\" > "
            "\"$here/UCC.log\"\n"
            "  ;;\n"
            "decompress)\n"
            "  sleep " +
            decompressDelay +
            "\n"
            "  name=$(basename \"$2\"); name=${name%???}\n"
            "  cat \"$2\" > \"$here/$name\"\n"
            "  printf 'Log: Decompressed %s -> %s\\r\\n' \"$2\" \"$name\" > \"$here/UCC.log\"\n"
            "  ;;\n"
            "esac\n");
    }

    // Points the browser at `folder`, reads it afresh and clicks `name` in it.
    void select(const std::filesystem::path& folder, const QString& name) {
        control<widgets::FolderList>("Dir1")->setPath(q(folder));
        control<widgets::FileList>("File1")->refresh();
        clickFile(name);
    }

    // Clicks Compress or Decompress with the status texts and message boxes of earlier
    // handlers forgotten.
    void press(const char* name) {
        statuses_.clear();
        boxes_.clear();
        button(name)->click();
    }

    // The compress result line our tool writes into its log, as the status line shows it.
    static QRegularExpression resultLine(const std::filesystem::path& package) {
        const QString path = q(package);
        return QRegularExpression("^" + QRegularExpression::escape(path) + " -> " +
                                  QRegularExpression::escape(path + ".uz") + " \\(\\d+%\\)$");
    }

    std::filesystem::path game_ = dir_ / "c" / "UnrealTournament";
};

// `count` bytes that look a little like a game package: runs, a repeated record and noise.
inline std::string packageBytes(std::size_t count, unsigned seed = 1) {
    std::string bytes;
    unsigned state = seed;
    while (bytes.size() < count) {
        state = state * 1103515245u + 12345u;
        switch ((state >> 16) % 3) {
            case 0:
                bytes.append(16 + (state >> 20) % 32, static_cast<char>(state >> 8));
                break;
            case 1:
                bytes += "Brush\x01\x02Light\x03";
                break;
            default:
                bytes += static_cast<char>(state >> 24);
        }
    }
    bytes.resize(count);
    return bytes;
}

}  // namespace varnox::test
