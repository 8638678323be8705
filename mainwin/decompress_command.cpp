#include "mainwin/decompress_command.h"

#include <QAbstractButton>

#include "mainwin/frm_brindle.h"
#include "mainwin/game_tool.h"
#include "mainwin/tool_runner.h"
#include "platform/files.h"
#include "settings/game_layout.h"
#include "widgets/file_lists.h"

namespace varnox::mainwin {

namespace {

QString text(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes);
}

}  // namespace

void DecompressCommand::run() {
    // The selection is taken once; the wait below may run other handlers that change it.
    const std::string folder = window_.dir1().path().toLocal8Bit().toStdString();
    const std::string name = window_.file1().fileName().toLocal8Bit().toStdString();
    const std::string selectedFile = folder + "/" + name;
    const settings::SettingsRecord& record = window_.settingsRecord();
    window_.stSelectedFile = selectedFile;
    window_.setStatus(text(selectedFile));
    if (name.empty()) {
        window_.setStatus(QStringLiteral("No file selected."));
        return;
    }
    const std::optional<std::string> package = settings::packageNameOf(name);
    if (!package) {
        window_.setStatus(QStringLiteral("Not a valid compressed file. "));
        return;
    }

    window_.setStatus(QStringLiteral("decompressing file... please wait..."));
    try {
        runner_.runAndWait(gameToolPath(record.gstUTPath), {"decompress", selectedFile});
    } catch (const Failure&) {
        window_.setStatus(QString::fromLatin1(kNotDecompressedText));
        throw;
    }
    const std::string systemFolder = settings::systemFolder(record.gstUTPath);
    const std::string decompressedFile = systemFolder + "/" + *package;
    if (!platform::ordinaryFileExists(decompressedFile)) {
        window_.setStatus(QString::fromLatin1(kNotDecompressedText));
        throw missingResult("package", decompressedFile, record.gstUTPath);
    }
    window_.setStatus(QStringLiteral("File decompressed."));
    window_.stDecompressedName = *package;
    window_.setStatus(QStringLiteral("the name of the decompressed file is ") + text(*package));

    if (platform::ordinaryFileExists(record.gstUZPath + "/" + *package)) {
        window_.setStatus(QStringLiteral(
            "This file has already been decompressed and can not be moved.  You must move it "
            "yourself.  You can find the newly decompressed file in the "
            "UnrealTournament\\System directory."));
        return;
    }
    // The box is read now, after the wait: a change during the wait counts for this run.
    const std::string destFolder =
        moveFiles_.isChecked() ? settings::routeFolder(record.gstUTPath, record.gstUZPath, *package)
                               : record.gstUZPath;
    window_.stDestFolder = destFolder;
    try {
        platform::moveFileIntoFolder(decompressedFile, destFolder);
    } catch (const Failure&) {
        window_.setStatus(QString::fromLatin1(kNotMovedText));
        throw;
    }
}

}  // namespace varnox::mainwin
