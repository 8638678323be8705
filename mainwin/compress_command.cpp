#include "mainwin/compress_command.h"

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

void CompressCommand::run() {
    // The selection is taken once; the wait below may run other handlers that change it.
    const std::string folder = window_.dir1().path().toLocal8Bit().toStdString();
    const std::string name = window_.file1().fileName().toLocal8Bit().toStdString();
    const std::string selectedFile = folder + "/" + name;
    const settings::SettingsRecord& record = window_.settingsRecord();
    window_.stSelectedFile = selectedFile;
    window_.setStatus(QStringLiteral("You have selected: ") + text(selectedFile));
    if (name.empty()) {
        window_.setStatus(QStringLiteral("No file selected."));
        return;
    }
    if (platform::ordinaryFileExists(record.gstUZPath + "/" + name + ".uz")) {
        window_.setStatus(
            QStringLiteral(
                "This file has already been compressed and can be found in your folder ") +
            text(record.gstUZPath) + QStringLiteral(".  Select another."));
        return;
    }

    window_.setStatus(QStringLiteral("Compressing file... please wait..."));
    try {
        runner_.runAndWait(gameToolPath(record.gstUTPath), {"compress", selectedFile},
                           QString::fromLatin1(kProgressText));
    } catch (const Failure&) {
        window_.setStatus(QString::fromLatin1(kNotCompressedText));
        throw;
    }
    const std::string compressedName = name + ".uz";
    const std::string compressedFile = folder + "/" + compressedName;
    if (!platform::ordinaryFileExists(compressedFile)) {
        window_.setStatus(QString::fromLatin1(kNotCompressedText));
        throw missingResult("compressed file", compressedFile, record.gstUTPath);
    }
    window_.setStatus(QStringLiteral("File compressed."));

    window_.stCompressedName = compressedName;
    try {
        platform::moveFileIntoFolder(compressedFile, settings::uzFolder(record.gstUTPath));
    } catch (const Failure&) {
        window_.setStatus(QString::fromLatin1(kNotMovedText));
        throw;
    }
    window_.file1().refresh();

    const std::string logFile = settings::toolLogPath(record.gstUTPath);
    const std::optional<std::string> log = settings::readToolLog(logFile);
    if (!log) {
        throw Failure(failure::kFileNotFound, "File not found: " + logFile);
    }
    for (const std::string& result : settings::compressResultTexts(*log)) {
        window_.setStatus(text(result));
    }
}

}  // namespace varnox::mainwin
