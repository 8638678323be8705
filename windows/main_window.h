#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "packages/package_commands.h"
#include "settings/settings_file.h"
#include "windows/config_host.h"
#include "windows/services.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace varnox::windows {

class DriveList;
class FolderList;
class FileList;
class HelpWindow;
class ConfigWindow;
class FtpWindow;

// The main window: a package browser (drive, folder and file lists), the status line, and
// the command buttons. It holds the settings read at start-up; they do not change for the
// rest of the run (a save in the configuration window counts from the next start).
class MainWindow : public QWidget, public ConfigHost, private packages::CommandView {
    Q_OBJECT
public:
    static constexpr const char* kNoConfigText =
        "No configuration file found. You should run the configuration... ah, wizard. It will "
        "save the location of UT and store your redirect server information.";
    static constexpr const char* kDefaultConfigText = "Using default config info";

    explicit MainWindow(Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence: reads the settings file and points the lists at the game folder.
    // Runs once, before the window is first shown.
    void load();

    const settings::Settings& settings() const { return settings_; }
    QString status() const;

    // What the configuration window does to this window after Save and Done.
    void moveListsTo(const std::string& drive, const std::filesystem::path& folder) override;
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
    template <typename Window>
    void showOwnWindow(QPointer<Window>& window, Window* (MainWindow::*create)());

    void setStatus(const QString& text);
    void showStatus(const std::string& text) override;
    void refreshFileList() override;
    bool moveDecompressedFiles() override;
    packages::Selection selection() const;

    void onDriveChange();
    void onFileClick();
    void onConfigure();
    void onExit();
    void runCommand(void (packages::PackageCommands::*command)(const packages::Selection&));
    ConfigWindow* createConfigWindow();
    FtpWindow* createFtpWindow();
    HelpWindow* createHelpWindow();

    Services& services_;
    settings::Settings settings_;

    DriveList* driveList_;
    FolderList* folderList_;
    FileList* fileList_;
    QPushButton* helpButton_;
    QPushButton* configureButton_;
    QPushButton* ftpButton_;
    QPushButton* compressButton_;
    QPushButton* decompressButton_;
    QPushButton* exitButton_;
    QPushButton* refreshButton_;
    QCheckBox* utFilesOnlyBox_;
    QCheckBox* moveFilesBox_;
    QLabel* statusLine_;

    QPointer<HelpWindow> helpWindow_;
    QPointer<ConfigWindow> configWindow_;
    QPointer<FtpWindow> ftpWindow_;
};

}  // namespace varnox::windows
