#include "packages/package_commands.h"

#include "game/game_folder.h"
#include "packages/tool_log.h"
#include "platform/files.h"

namespace varnox::packages {

namespace {

namespace fs = std::filesystem;

template <typename Step>
void showingOnFailure(CommandView& view, const char* text, Step step) {
    try {
        step();
    } catch (const Failure&) {
        view.showStatus(text);
        throw;
    }
}

}  // namespace

Failure PackageCommands::missingResult(const std::string& what, const fs::path& file) const {
    std::string description = "The game tool left no " + what + " " + file.string();
    try {
        if (auto log = platform::readWholeFile(game::GameFolder(settings_.gameFolder).toolLog())) {
            if (auto error = lastToolError(*log)) {
                description += "; its log says: " + *error;
            }
        }
    } catch (const Failure&) {
        // The log only adds detail; the missing result is the failure to report.
    }
    return Failure(failure::kFileNotFound, description);
}

void PackageCommands::compress(const Selection& selection) {
    const game::GameFolder game(settings_.gameFolder);
    const std::string selectedFile = selection.folder + "/" + selection.name;
    view_.showStatus("You have selected: " + selectedFile);
    if (selection.name.empty()) {
        view_.showStatus("No file selected.");
        return;
    }
    if (platform::ordinaryFileExists(settings_.uzFolder + "/" + selection.name + ".uz")) {
        view_.showStatus("This file has already been compressed and can be found in your folder " +
                         settings_.uzFolder + ".  Select another.");
        return;
    }

    view_.showStatus("Compressing file... please wait...");
    showingOnFailure(view_, kNotCompressedText, [&] {
        runner_.runAndWait(game.tool(), {"compress", selectedFile}, std::string(kProgressText));
    });
    const fs::path compressedFile = selectedFile + ".uz";
    if (!platform::ordinaryFileExists(compressedFile)) {
        view_.showStatus(kNotCompressedText);
        throw missingResult("compressed file", compressedFile);
    }
    view_.showStatus("File compressed.");
    showingOnFailure(view_, kNotMovedAfterCompressText,
                     [&] { platform::moveFileIntoFolder(compressedFile, game.uzFolderText()); });
    view_.refreshFileList();

    const fs::path logFile = game.toolLog();
    const std::optional<std::string> log = platform::readWholeFile(logFile);
    if (!log) {
        throw Failure(failure::kFileNotFound, "File not found: " + logFile.string());
    }
    for (const std::string& result : compressResultTexts(*log)) {
        view_.showStatus(result);
    }
}

void PackageCommands::decompress(const Selection& selection) {
    const game::GameFolder game(settings_.gameFolder);
    const std::string selectedFile = selection.folder + "/" + selection.name;
    view_.showStatus(selectedFile);
    if (selection.name.empty()) {
        view_.showStatus("No file selected.");
        return;
    }
    const std::optional<std::string> package = game::packageNameOf(selection.name);
    if (!package) {
        view_.showStatus("Not a valid compressed file. ");
        return;
    }

    view_.showStatus("decompressing file... please wait...");
    showingOnFailure(view_, kNotDecompressedText, [&] {
        runner_.runAndWait(game.tool(), {"decompress", selectedFile}, std::nullopt);
    });
    const fs::path decompressedFile = game.systemFolder() / *package;
    if (!platform::ordinaryFileExists(decompressedFile)) {
        view_.showStatus(kNotDecompressedText);
        throw missingResult("package", decompressedFile);
    }
    view_.showStatus("File decompressed.");
    view_.showStatus("the name of the decompressed file is " + *package);

    if (platform::ordinaryFileExists(settings_.uzFolder + "/" + *package)) {
        view_.showStatus(
            "This file has already been decompressed and can not be moved.  You must move it "
            "yourself.  You can find the newly decompressed file in the "
            "UnrealTournament\\System directory.");
        return;
    }
    const fs::path target = view_.moveDecompressedFiles()
                                ? game.typeFolderFor(*package, settings_.uzFolder)
                                : fs::path(settings_.uzFolder);
    showingOnFailure(view_, kNotMovedAfterDecompressText,
                     [&] { platform::moveFileIntoFolder(decompressedFile, target); });
}

}  // namespace varnox::packages
