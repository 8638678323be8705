#include "windows/ftp_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidgetItem>

#include "ftp/reports.h"
#include "windows/controls.h"
#include "windows/file_lists.h"
#include "windows/ftp_worker.h"
#include "windows/image_list.h"
#include "windows/layout.h"
#include "windows/message_boxes.h"
#include "windows/remote_commands.h"
#include "windows/remote_tree.h"
#include "windows/text.h"

namespace varnox::windows {

namespace {

// A caption beside its box, on one line; it names the box for screen readers.
void caption(QWidget* window, const char* name, const char* text, int left, int top, int width,
             int height, QWidget* box) {
    QLabel* label =
        plainLabel(window, name, QString::fromLatin1(text), left, top, width, height, Wrap::None);
    label->setBuddy(box);
}

}  // namespace

FtpWindow::FtpWindow(Services& services, const settings::Settings& settings, QWidget* parent)
    : QWidget(parent, kWindowFrame | Qt::WindowMinMaxButtonsHint),
      services_(services),
      settings_(settings),
      trusted_(settings::trustedServersFileFor(services.settingsFile)),
      session_(ftp::Timeouts{}, &trusted_,
               [this](const ftp::Certificate& certificate, bool changed) {
                   return askToTrust(certificate, changed);
               }) {
    session_.checkHostKeys(&knownHosts_,
                           [this](const ftp::HostKey& key) { return askToTrustHostKey(key); });
    setUpWindow(this, "frmFTP", "Tolvrin's Brindle - FTP", classicFont(), 8715, 6510);
    buildControls();
    // The local lists wait too: a Get writes into the folder shown when it started, and
    // that folder is listed again once it is done.
    worker_ = std::make_unique<FtpWorker>(
        session_, this,
        std::vector<QWidget*>{startSessionButton_, proxyBox_, closeSessionButton_, serverBox_,
                              userBox_, passwordBox_, connectButton_, disconnectButton_,
                              passiveBox_, driveList_, folderList_, fileList_, remoteTree_,
                              getButton_, putButton_, binaryOption_, asciiOption_, closeButton_});
    remote_ = std::make_unique<RemoteCommands>(
        RemoteCommands::Parts{session_, *worker_, *remoteTree_, *fileList_, services_.boxes, this,
                              [this] { return bytesOf(serverBox_); },
                              [this] { return transferType_; }, [this] { closeEverything(); }});
    connectHandlers();
    load();
}

FtpWindow::~FtpWindow() = default;

void FtpWindow::buildControls() {
    startSessionButton_ = commandButton(
        this, "cmdInternetOpen", QStringLiteral("Start Internet Session"), 240, 240, 1935, 495);
    proxyBox_ = textBox(this, "txtProxy", 7200, 240, 1095, 435);
    closeSessionButton_ = commandButton(
        this, "cmdClosehOpen", QStringLiteral("Close Internet Session"), 2280, 240, 1935, 495);
    serverBox_ = textBox(this, "txtServer", 1680, 1080, 1455, 270);
    userBox_ = textBox(this, "txtUser", 4680, 1080, 1095, 240);
    passwordBox_ = passwordBox(this, "txtPassword", 6960, 1080, 1095, 240);
    connectButton_ = commandButton(this, "cmdConnect", QStringLiteral("Connect to Server"), 750,
                                   1680, 2175, 495);
    disconnectButton_ =
        commandButton(this, "cmdDisconnect", QStringLiteral("Disconnect"), 6150, 1680, 1815, 495);
    passiveBox_ =
        checkBox(this, "chkPassive", QStringLiteral("Passive FTP syntax"), 3510, 1800, 1935, 255);

    driveList_ = placed<DriveList>(this, "Drive1", 4545, 2640, 3945, 315, services_.drives);
    folderList_ = placed<FolderList>(this, "Dir1", 4545, 3105, 1830, 2340, services_.drives);
    fileList_ = placed<FileList>(this, "File1", 6435, 3120, 2130, 2430);
    remoteTree_ = placed<RemoteTree>(this, "TreeView1", 240, 2640, 3105, 2940);

    getButton_ = commandButton(this, "cmdGet", QStringLiteral("--->Get--->"), 3480, 3600, 975, 495);
    // Put overlaps Get by one pixel and is drawn over it.
    putButton_ = commandButton(this, "cmdPut", QStringLiteral("<---Put<---"), 3480, 4080, 975, 495);
    putButton_->raise();
    binaryOption_ = optionButton(this, "optBin", QStringLiteral("Binary"), 3600, 2670, 750, 345);
    asciiOption_ = optionButton(this, "optAscii", QStringLiteral("Ascii"), 3600, 3120, 840, 195);
    closeButton_ = commandButton(this, "cmdClose", QStringLiteral("Close"), 7290, 5835, 1215, 495);

    // No access keys here: no "&" in the captions.
    caption(this, "Label1", "TIS Compatible Proxy (No CERN):", 4440, 360, 2535, 255, proxyBox_);
    caption(this, "Label2", "FTP Server Name:", 120, 1080, 1335, 255, serverBox_);
    caption(this, "Label3", "User Name:", 3360, 1080, 975, 255, userBox_);
    caption(this, "label4", "Password:", 6000, 1080, 855, 255, passwordBox_);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setForegroundRole(QPalette::WindowText);
    // One pixel high, from (240, 840) to (8520, 840) inclusive.
    place(line, "Line1", 240, 840, 8520 - 240 + 15, 15);

    pictures_ = new ImageList(this);
    pictures_->setObjectName(QStringLiteral("ImageList1"));

    setFocusOrder({startSessionButton_, proxyBox_, closeSessionButton_, serverBox_, userBox_,
                   passwordBox_, connectButton_, disconnectButton_, passiveBox_, driveList_,
                   folderList_, fileList_, remoteTree_, getButton_, putButton_, binaryOption_,
                   asciiOption_, closeButton_});
}

void FtpWindow::connectHandlers() {
    auto on = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, handler] { handle(handler); });
    };
    on(startSessionButton_, &QPushButton::clicked, [this] { onStartSession(); });
    on(closeSessionButton_, &QPushButton::clicked, [this] { closeEverything(); });
    on(connectButton_, &QPushButton::clicked, [this] { onConnect(); });
    on(disconnectButton_, &QPushButton::clicked, [this] { onDisconnect(); });
    on(closeButton_, &QPushButton::clicked, [this] {
        hide();
        close();
    });
    on(getButton_, &QPushButton::clicked, [this] { remote_->get(); });
    on(putButton_, &QPushButton::clicked, [this] { remote_->put(); });
    on(remoteTree_, &RemoteTree::treeDoubleClicked, [this] { remote_->openOrCloseSelected(); });
    on(driveList_, &DriveList::driveChanged, [this] { onDriveChange(); });
    on(folderList_, &FolderList::folderChanged,
       [this] { fileList_->setFolder(folderList_->folder()); });
    connect(folderList_, &FolderList::openFailed, this,
            [this](const Failure& failure) { reportFailure(services_.boxes, this, failure); });
    connect(asciiOption_, &QRadioButton::toggled, this, [this](bool on) {
        transferType_ = on ? ftp::TransferType::kAscii : ftp::TransferType::kBinary;
    });
}

template <typename Handler>
void FtpWindow::handle(Handler&& handler) {
    guarded(services_.boxes, this, std::forward<Handler>(handler));
    if (closeWhenDone_ && !worker_->running()) {
        closeWhenDone_ = false;
        close();
    }
}

bool FtpWindow::askToTrust(const ftp::Certificate& certificate, bool changed) {
    return worker_->askOnWindowThread([&] {
        return services_.boxes.askYesNo(
            this,
            shortened(RemoteCommands::certificateQuestion(serverBox_->text(), certificate, changed),
                      2000));
    });
}

bool FtpWindow::askToTrustHostKey(const ftp::HostKey& key) {
    return worker_->askOnWindowThread([&] {
        return services_.boxes.askYesNo(this, fromBytes(ftp::hostKeyQuestionText(
                                                  bytesOf(serverBox_), key, knownHosts_.file())));
    });
}

void FtpWindow::load() {
    showBytes(serverBox_, settings_.server);
    showBytes(userBox_, settings_.user);
    showBytes(passwordBox_, settings_.password);

    // The local lists start in the game folder. An empty setting leaves them where they are;
    // a drive that cannot be shown falls back to c: without a message.
    if (!settings_.gameDrive.empty()) {
        try {
            driveList_->setDrive(settings_.gameDrive);
        } catch (const Failure&) {
            try {  // a drive the table does not know: drive c:, quietly
                driveList_->setDrive("c:");
                folderList_->setFolder(driveList_->drive());
            } catch (const Failure&) {
            }
        }
    }
    if (!settings_.gameFolder.empty()) {
        handle([this] { folderList_->setFolder(settings_.gameFolder); });
    }

    passiveBox_->setChecked(true);
    binaryOption_->setChecked(true);
    transferType_ = ftp::TransferType::kBinary;

    const QString folder = fromPath(services_.programFolder);
    using ftp::NodeState;
    for (NodeState state :
         {NodeState::kOpenFolder, NodeState::kClosedFolder, NodeState::kFile, NodeState::kRoot}) {
        const QString key = QString::fromLatin1(ftp::pictureKey(state));
        handle([&] { pictures_->add(key, folder + "/" + key + ".bmp"); });
    }
    remoteTree_->setImageList(pictures_);
    enableControls(false);
}

void FtpWindow::enableControls(bool p) {
    const bool connected = session_.state() == ftp::Session::State::kConnected;
    for (QWidget* control :
         std::initializer_list<QWidget*>{serverBox_, userBox_, passwordBox_, passiveBox_,
                                         closeSessionButton_, binaryOption_, asciiOption_}) {
        control->setEnabled(p);
    }
    connectButton_->setEnabled(p && !connected);
    disconnectButton_->setEnabled(p && connected);
    startSessionButton_->setEnabled(!p);
    proxyBox_->setEnabled(!p);
    getButton_->setEnabled(p && connected);
    putButton_->setEnabled(p && connected);
}

void FtpWindow::removeRootNode() {
    if (QTreeWidgetItem* root = rootKey_ ? remoteTree_->node(*rootKey_) : nullptr) {
        remoteTree_->removeNode(root);
    }
    rootKey_.reset();
}

void FtpWindow::closeEverything() {
    session_.close();
    removeRootNode();
    for (QLineEdit* box : {serverBox_, userBox_, passwordBox_, proxyBox_}) {
        box->clear();
    }
    remote_->forgetListing();
    enableControls(false);
}

void FtpWindow::onStartSession() {
    const ftp::CallResult result = session_.open(toBytes(proxyBox_->text()));
    if (!result.ok()) {
        remote_->report(result, "InternetOpen");
    }
    // Whatever the report's answer, the session controls are offered; Connect does nothing
    // while no session is open.
    enableControls(true);
}

void FtpWindow::onConnect() {
    if (session_.state() != ftp::Session::State::kOpen) {
        return;
    }
    const std::string server = bytesOf(serverBox_);
    if (server.empty()) {
        services_.boxes.inform(this, QString::fromLatin1(ftp::kNoServerText));
        return;
    }
    // The tree's "/" is the folder an SFTP server name points into.
    const ftp::Login login{
        server, bytesOf(userBox_), bytesOf(passwordBox_), passiveBox_->isChecked(), {}, true};
    const ftp::CallResult result =
        worker_->run({QStringLiteral("Connecting to ") + serverBox_->text()},
                     [&] { return session_.connect(login); });
    if (!result.ok()) {
        remote_->report(result, "InternetConnect");
        return;
    }
    enableControls(true);
    rootKey_ = server;
    remote_->showServer(server);
}

void FtpWindow::onDisconnect() {
    session_.disconnect();
    remote_->forgetListing();
    removeRootNode();
    enableControls(true);
}

void FtpWindow::onDriveChange() {
    try {
        followDrive(*driveList_, *folderList_);
    } catch (const Failure&) {
        // When drive c: fails too, the lists stay where they were.
    }
}

void FtpWindow::closeEvent(QCloseEvent* event) {
    if (worker_->running()) {
        // The running call ends first; the window closes once its command has stopped.
        session_.cancel();
        closeWhenDone_ = true;
        event->ignore();
        return;
    }
    handle([this] { closeEverything(); });
    event->accept();
}

}  // namespace varnox::windows
