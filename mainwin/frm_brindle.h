#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <string>

#include "configwin/config_host.h"
#include "platform/services.h"
#include "settings/settings_file.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace varnox::widgets {
class DriveList;
class FolderList;
class FileList;
}  // namespace varnox::widgets

namespace varnox::helpwin {
class frmHelp;
}

namespace varnox::configwin {
class frmConfig;
}

namespace varnox::ftpwin {
class frmFTP;
}

namespace varnox::mainwin {

// The main window: a package browser (drive, folder and file lists), the status line, and
// the command buttons. It owns the settings record read at start-up; the record does not
// change for the rest of the run.
class frmBrindle : public QWidget, public configwin::ConfigHost {
    Q_OBJECT
public:
    static constexpr const char* kNoConfigText =
        "No configuration file found. You should run the configuration... ah, wizard. It will "
        "save the location of UT and store your redirect server information.";
    static constexpr const char* kDefaultConfigText = "Using default config info";

    explicit frmBrindle(platform::Services& services, QWidget* parent = nullptr);
    ~frmBrindle() override;

    // The start-up sequence: reads config.txt into the settings record and points the lists
    // at the game folder. Runs once, before the window is first shown.
    void load();

    // The settings record, filled by load().
    const settings::SettingsRecord& settingsRecord() const { return record_; }

    // The status line.
    QString status() const;
    void setStatus(const QString& text);

    // The browser's lists, which the configuration window moves after a save.
    widgets::DriveList& drive1() { return *Drive1_; }
    widgets::FolderList& dir1() { return *Dir1_; }
    widgets::FileList& file1() { return *File1_; }

    // The working strings of Compress and Decompress, overwritten by every run: the selected
    // file's path (folder + "/" + name), the compressed file's name, the decompressed
    // package's name and the folder it moves into. A run keeps its own copies for after the
    // wait, so a command run during the wait does not change what the first one moves.
    std::string stSelectedFile;
    std::string stCompressedName;
    std::string stDecompressedName;
    std::string stDestFolder;

    // What the configuration window does to this window after Save and Done.
    void moveListsTo(const QString& drive, const QString& folder) override;
    void showAgain() override;

signals:
    // Every text the status line shows, in order.
    void statusChanged(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    template <typename Handler>
    void handle(Handler&& handler);

    void onDriveChange();
    void onDirChange();
    void onFileClick();
    void onRefresh();
    void onConfigure();
    void onFtp();
    void onHelp();
    void onExit();
    void onCompress();
    void onDecompress();

    platform::Services& services_;
    settings::SettingsRecord record_;

    widgets::DriveList* Drive1_;
    widgets::FolderList* Dir1_;
    widgets::FileList* File1_;
    QPushButton* cmdHelp_;
    QPushButton* cmdConfig_;
    QPushButton* cmdFtp_;
    QPushButton* cmdCompress_;
    QPushButton* cmdDecompress_;
    QPushButton* cmdExit_;
    QPushButton* cmdRefresh_;
    QCheckBox* chkHide_;
    QCheckBox* chkMoveFiles_;
    QLabel* lblFileName_;

    QPointer<helpwin::frmHelp> help_;
    QPointer<configwin::frmConfig> config_;
    QPointer<ftpwin::frmFTP> ftp_;
};

}  // namespace varnox::mainwin
