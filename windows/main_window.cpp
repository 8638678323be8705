#include "windows/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "game/game_folder.h"
#include "windows/config_window.h"
#include "windows/controls.h"
#include "windows/file_lists.h"
#include "windows/ftp_window.h"
#include "windows/help_window.h"
#include "windows/layout.h"
#include "windows/message_boxes.h"
#include "windows/text.h"
#include "windows/tool_wait.h"

namespace varnox::windows {

MainWindow::MainWindow(Services& services, QWidget* parent)
    : QWidget(parent, kWindowFrame | Qt::WindowMinimizeButtonHint), services_(services) {
    setUpWindow(this, "frmBrindle", "Tolvrin's Brindle V1.0.1b", classicFont(), 8490, 5640);
    buildControls();
}

MainWindow::~MainWindow() {
    delete helpWindow_.data();
    delete configWindow_.data();
    delete ftpWindow_.data();
}

void MainWindow::buildControls() {
    driveList_ = placed<DriveList>(this, "Drive1", 240, 240, 2775, 315, services_.drives);
    folderList_ = placed<FolderList>(this, "Dir1", 240, 855, 3165, 2565, services_.drives);
    fileList_ = placed<FileList>(this, "File1", 3540, 840, 4875, 3210);

    helpButton_ = commandButton(this, "cmdHelp", QStringLiteral("&Help"), 5681, 5160, 1095, 375);
    configureButton_ =
        commandButton(this, "cmdConfig", QStringLiteral("Confi&gure"), 394, 5160, 1095, 375);
    ftpButton_ = commandButton(this, "cmdFtp", QStringLiteral("&FTP"), 4361, 5160, 1095, 375);
    compressButton_ =
        commandButton(this, "cmdCompress", QStringLiteral("&Compress"), 1721, 5160, 1095, 375);
    decompressButton_ =
        commandButton(this, "cmdDecompress", QStringLiteral("&Decompress"), 3041, 5160, 1095, 375);
    exitButton_ = commandButton(this, "cmdExit", QStringLiteral("E&xit"), 7001, 5160, 1095, 375);
    refreshButton_ =
        commandButton(this, "cmdRefresh", QStringLiteral("Refresh"), 2205, 3570, 1215, 375);

    utFilesOnlyBox_ =
        checkBox(this, "chkHide", QStringLiteral("Show UT FIles Only"), 5400, 120, 2895, 255);
    utFilesOnlyBox_->setEnabled(false);
    moveFilesBox_ = checkBox(this, "chkMoveFiles", QStringLiteral("Move Decompressed Files"), 5400,
                             480, 2895, 255);
    moveFilesBox_->setChecked(true);

    statusLine_ = new QLabel(this);
    statusLine_->setFont(classicFont(9.75));
    statusLine_->setWordWrap(true);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLine_->setTextFormat(Qt::PlainText);
    place(statusLine_, "lblFileName", 240, 4185, 8055, 810);

    setFocusOrder({driveList_, folderList_, fileList_, helpButton_, configureButton_, ftpButton_,
                   compressButton_, decompressButton_, exitButton_, refreshButton_, utFilesOnlyBox_,
                   moveFilesBox_});

    auto on = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, handler] { handle([this, handler] { handler(); }); });
    };
    on(driveList_, &DriveList::driveChanged, [this] { onDriveChange(); });
    on(folderList_, &FolderList::folderChanged,
       [this] { fileList_->setFolder(folderList_->folder()); });
    connect(folderList_, &FolderList::openFailed, this,
            [this](const Failure& failure) { reportFailure(services_.boxes, this, failure); });
    on(fileList_, &FileList::fileClicked, [this] { onFileClick(); });
    on(refreshButton_, &QPushButton::clicked, [this] { fileList_->refresh(); });
    on(configureButton_, &QPushButton::clicked, [this] { onConfigure(); });
    on(ftpButton_, &QPushButton::clicked,
       [this] { showOwnWindow(ftpWindow_, &MainWindow::createFtpWindow); });
    on(helpButton_, &QPushButton::clicked,
       [this] { showOwnWindow(helpWindow_, &MainWindow::createHelpWindow); });
    connect(exitButton_, &QPushButton::clicked, this, [this] { onExit(); });
    on(compressButton_, &QPushButton::clicked,
       [this] { runCommand(&packages::PackageCommands::compress); });
    on(decompressButton_, &QPushButton::clicked,
       [this] { runCommand(&packages::PackageCommands::decompress); });
}

template <typename Handler>
void MainWindow::handle(Handler&& handler) {
    guarded(services_.boxes, this, std::forward<Handler>(handler));
}

QString MainWindow::status() const {
    return statusLine_->text();
}

void MainWindow::setStatus(const QString& text) {
    const QString shown = shortened(text);
    statusLine_->setText(shown);
    emit statusChanged(shown);
}

void MainWindow::showStatus(const std::string& text) {
    setStatus(fromBytes(text));
}

void MainWindow::refreshFileList() {
    fileList_->refresh();
}

bool MainWindow::moveDecompressedFiles() {
    return moveFilesBox_->isChecked();
}

void MainWindow::load() {
    handle([this] {
        std::optional<settings::Settings> stored =
            settings::readSettingsFile(services_.settingsFile);
        if (!stored) {
            setStatus(QString::fromLatin1(kNoConfigText));
            return;  // the lists keep showing the program's current folder
        }
        settings_ = *stored;
        setStatus(QString::fromLatin1(kDefaultConfigText));
        folderList_->setFolder(settings_.gameFolder);
        driveList_->setDrive(settings_.gameDrive);
    });
}

void MainWindow::onDriveChange() {
    if (!followDrive(*driveList_, *folderList_)) {
        setStatus(fromPath(folderList_->folder()));
    }
}

void MainWindow::onFileClick() {
    setStatus(fromBytes(fileList_->fileName()));
    const bool compressed = game::hasCompressedEnding(fileList_->fileName());
    decompressButton_->setEnabled(compressed);
    compressButton_->setEnabled(!compressed);
}

packages::Selection MainWindow::selection() const {
    return {folderList_->folder().native(), fileList_->fileName()};
}

void MainWindow::runCommand(
    void (packages::PackageCommands::*command)(const packages::Selection&)) {
    EventLoopToolRunner runner(services_.processes,
                               [this](const QString& text) { setStatus(text); });
    packages::PackageCommands commands(settings_, runner, *this);
    (commands.*command)(selection());
}

template <typename Window>
void MainWindow::showOwnWindow(QPointer<Window>& window, Window* (MainWindow::*create)()) {
    if (window.isNull()) {
        // Created (and loaded) on the first click after each closing; the close box
        // destroys it.
        window = (this->*create)();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

ConfigWindow* MainWindow::createConfigWindow() {
    auto* window = new ConfigWindow(services_, *this);
    window->load();
    centreWindow(window);
    return window;
}

FtpWindow* MainWindow::createFtpWindow() {
    auto* window = new FtpWindow(services_, settings_);
    centreWindow(window, this);
    return window;
}

HelpWindow* MainWindow::createHelpWindow() {
    auto* window = new HelpWindow();
    centreWindow(window, this);
    return window;
}

void MainWindow::onConfigure() {
    // The close box destroys the configuration window and leaves this window hidden. The
    // application then ends with its last visible window (Qt's quitOnLastWindowClosed, which
    // stays on), so the program never runs on without a window. Nothing is lost: Save writes
    // the settings file at once.
    showOwnWindow(configWindow_, &MainWindow::createConfigWindow);
    hide();
    setStatus(QString());
}

void MainWindow::moveListsTo(const std::string& drive, const std::filesystem::path& folder) {
    driveList_->setDrive(drive);
    folderList_->setFolder(folder);
    driveList_->refresh();
    folderList_->refresh();
}

void MainWindow::showAgain() {
    show();
    activateWindow();
    fileList_->refresh();
    folderList_->refresh();
    driveList_->refresh();
}

void MainWindow::onExit() {
    hide();
    services_.endProgram();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the main window through its frame ends the program, as Exit does.
    event->accept();
    services_.endProgram();
}

}  // namespace varnox::windows
