#include "ftp/window/frm_ftp.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

#include "ftp/errors.h"
#include "ftp/names.h"
#include "ftp/window/error_report.h"
#include "ftp/window/image_list.h"
#include "ftp/window/remote_paths.h"
#include "ftp/window/remote_tree.h"
#include "platform/failure.h"
#include "platform/guard.h"
#include "widgets/classic.h"
#include "widgets/controls.h"
#include "widgets/file_lists.h"

namespace varnox::ftpwin {

namespace {

using widgets::checkBox;
using widgets::commandButton;
using widgets::optionButton;
using widgets::passwordBox;
using widgets::textBox;

// The captions beside the fields keep to one line.
QLabel* plainLabel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                   int width, int height) {
    return widgets::plainLabel(parent, name, caption, left, top, width, height,
                               widgets::Wrap::None);
}

// Texts travel as the system's 8-bit bytes, as the settings file and the server have them.
std::string bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
QString text(const std::string& bytes) {
    return QString::fromLocal8Bit(bytes);
}

constexpr std::uint32_t kGetAttributes = 0x80000000;  // a normal file

const QString kRoot = QStringLiteral("root");
const QString kOpen = QStringLiteral("open");
const QString kClosed = QStringLiteral("closed");
const QString kLeaf = QStringLiteral("leaf");

}  // namespace

QString frmFTP::truncatedListingText() {
    return QStringLiteral("This directory holds more than %1 entries; only the first %1 are shown.")
        .arg(kMaxListedEntries);
}

QString frmFTP::notPlainNameText(const QString& name) {
    return QStringLiteral(
               "\"%1\" is not a plain file name, so it cannot be downloaded into a local folder.")
        .arg(name);
}

frmFTP::frmFTP(platform::Services& services, const settings::SettingsRecord& record,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      services_(services),
      record_(record) {
    setObjectName(QStringLiteral("frmFTP"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setFont(widgets::classicFont());
    widgets::sizeClientInTwips(this, 8715, 6510);
    buildControls();
    load();
}

frmFTP::~frmFTP() = default;

void frmFTP::buildControls() {
    cmdInternetOpen_ = commandButton(this, "cmdInternetOpen",
                                     QStringLiteral("Start Internet Session"), 240, 240, 1935, 495);
    txtProxy_ = textBox(this, "txtProxy", 7200, 240, 1095, 435);
    cmdClosehOpen_ = commandButton(this, "cmdClosehOpen", QStringLiteral("Close Internet Session"),
                                   2280, 240, 1935, 495);
    txtServer_ = textBox(this, "txtServer", 1680, 1080, 1455, 270);
    txtUser_ = textBox(this, "txtUser", 4680, 1080, 1095, 240);
    txtPassword_ = passwordBox(this, "txtPassword", 6960, 1080, 1095, 240);
    cmdConnect_ = commandButton(this, "cmdConnect", QStringLiteral("Connect to Server"), 750, 1680,
                                2175, 495);
    cmdDisconnect_ =
        commandButton(this, "cmdDisconnect", QStringLiteral("Disconnect"), 6150, 1680, 1815, 495);
    chkPassive_ =
        checkBox(this, "chkPassive", QStringLiteral("Passive FTP syntax"), 3510, 1800, 1935, 255);

    Drive1_ = new widgets::DriveList(services_.drives, this);
    Drive1_->setObjectName(QStringLiteral("Drive1"));
    widgets::placeInTwips(Drive1_, 4545, 2640, 3945, 315);
    Dir1_ = new widgets::FolderList(services_.drives, this);
    Dir1_->setObjectName(QStringLiteral("Dir1"));
    widgets::placeInTwips(Dir1_, 4545, 3105, 1830, 2340);
    File1_ = new widgets::FileList(this);
    File1_->setObjectName(QStringLiteral("File1"));
    widgets::placeInTwips(File1_, 6435, 3120, 2130, 2430);

    TreeView1_ = new RemoteTree(this);
    TreeView1_->setObjectName(QStringLiteral("TreeView1"));
    widgets::placeInTwips(TreeView1_, 240, 2640, 3105, 2940);

    cmdGet_ = commandButton(this, "cmdGet", QStringLiteral("--->Get--->"), 3480, 3600, 975, 495);
    // Put overlaps Get by one pixel and is drawn over it.
    cmdPut_ = commandButton(this, "cmdPut", QStringLiteral("<---Put<---"), 3480, 4080, 975, 495);
    cmdPut_->raise();
    optBin_ = optionButton(this, "optBin", QStringLiteral("Binary"), 3600, 2670, 750, 345);
    optAscii_ = optionButton(this, "optAscii", QStringLiteral("Ascii"), 3600, 3120, 840, 195);
    cmdClose_ = commandButton(this, "cmdClose", QStringLiteral("Close"), 7290, 5835, 1215, 495);

    Label1_ = plainLabel(this, "Label1", QStringLiteral("TIS Compatible Proxy (No CERN):"), 4440,
                         360, 2535, 255);
    Label2_ = plainLabel(this, "Label2", QStringLiteral("FTP Server Name:"), 120, 1080, 1335, 255);
    Label3_ = plainLabel(this, "Label3", QStringLiteral("User Name:"), 3360, 1080, 975, 255);
    label4_ = plainLabel(this, "label4", QStringLiteral("Password:"), 6000, 1080, 855, 255);
    // Each caption names its box for screen readers (no access keys: no "&" in them).
    Label1_->setBuddy(txtProxy_);
    Label2_->setBuddy(txtServer_);
    Label3_->setBuddy(txtUser_);
    label4_->setBuddy(txtPassword_);

    Line1_ = new QFrame(this);
    Line1_->setObjectName(QStringLiteral("Line1"));
    Line1_->setFrameShape(QFrame::HLine);
    Line1_->setFrameShadow(QFrame::Plain);
    Line1_->setLineWidth(1);
    Line1_->setForegroundRole(QPalette::WindowText);
    // One pixel high, from (240, 840) to (8520, 840) inclusive.
    widgets::placeInTwips(Line1_, 240, 840, 8520 - 240 + 15, 15);

    ImageList1_ = new ImageList(this);
    ImageList1_->setObjectName(QStringLiteral("ImageList1"));

    QWidget* order[] = {
        cmdInternetOpen_, txtProxy_,      cmdClosehOpen_, txtServer_, txtUser_,  txtPassword_,
        cmdConnect_,      cmdDisconnect_, chkPassive_,    Drive1_,    Dir1_,     File1_,
        TreeView1_,       cmdGet_,        cmdPut_,        optBin_,    optAscii_, cmdClose_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    cmdInternetOpen_->setFocus();

    auto on = [this](auto* sender, auto signal, void (frmFTP::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { handle([this, handler] { (this->*handler)(); }); });
    };
    on(cmdInternetOpen_, &QPushButton::clicked, &frmFTP::onInternetOpen);
    on(cmdClosehOpen_, &QPushButton::clicked, &frmFTP::onCloseInternetSession);
    on(cmdConnect_, &QPushButton::clicked, &frmFTP::onConnect);
    on(cmdDisconnect_, &QPushButton::clicked, &frmFTP::onDisconnect);
    on(cmdClose_, &QPushButton::clicked, &frmFTP::onClose);
    on(cmdGet_, &QPushButton::clicked, &frmFTP::onGet);
    on(cmdPut_, &QPushButton::clicked, &frmFTP::onPut);
    on(TreeView1_, &RemoteTree::treeDoubleClicked, &frmFTP::onTreeDoubleClick);
    on(Drive1_, &widgets::DriveList::driveChanged, &frmFTP::onDriveChange);
    on(Dir1_, &widgets::FolderList::pathChanged, &frmFTP::onDirChange);
    connect(Dir1_, &widgets::FolderList::openFailed, this, [this](int number, const QString& what) {
        platform::reportFailure(services_.boxes, this, Failure(number, bytes(what)));
    });
    connect(optAscii_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            dwTransferType_ = ftp::kTransferAscii;
        }
    });
    connect(optBin_, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            dwTransferType_ = ftp::kTransferBinary;
        }
    });
}

template <typename Handler>
void frmFTP::handle(Handler&& handler) {
    platform::guarded(services_.boxes, this, std::forward<Handler>(handler));
}

void frmFTP::inform(const QString& message) {
    services_.boxes.inform(this, message);
}

// ---- Load, states and the error report ----------------------------------------------------

void frmFTP::load() {
    txtServer_->setText(text(record_.gstServerIp));
    txtUser_->setText(text(record_.gstUsername));
    txtPassword_->setText(text(record_.gstPassword));

    // The local lists start in the game folder. An empty setting leaves them where they
    // are; a drive that cannot be shown falls back to c: without a message.
    if (!record_.gstUTDrive.empty()) {
        try {
            Drive1_->setDrive(text(record_.gstUTDrive));
        } catch (const Failure&) {
            fallBackToDriveC();  // a drive the table does not know
        }
    }
    if (!record_.gstUTPath.empty()) {
        handle([this] { Dir1_->setPath(text(record_.gstUTPath)); });
    }

    bConnected_ = false;
    hOpen_ = ftp::kNoHandle;
    hConnect_ = ftp::kNoHandle;

    chkPassive_->setChecked(true);
    optBin_->setChecked(true);
    dwTransferType_ = ftp::kTransferBinary;

    const QString folder = text(services_.programFolder);
    for (const QString& key : {kOpen, kClosed, kLeaf, kRoot}) {
        handle([&] { ImageList1_->add(key, folder + "/" + key + ".bmp"); });
    }
    TreeView1_->setImageList(ImageList1_);

    enableControls(false);
}

void frmFTP::enableControls(bool p) {
    txtServer_->setEnabled(p);
    txtUser_->setEnabled(p);
    txtPassword_->setEnabled(p);
    cmdConnect_->setEnabled(p && !bConnected_);
    cmdDisconnect_->setEnabled(p && bConnected_);
    chkPassive_->setEnabled(p);
    cmdClosehOpen_->setEnabled(p);
    cmdInternetOpen_->setEnabled(!p);
    txtProxy_->setEnabled(!p);
    optBin_->setEnabled(p);
    optAscii_->setEnabled(p);
    cmdGet_->setEnabled(p && bConnected_);
    cmdPut_->setEnabled(p && bConnected_);
}

void frmFTP::clearFields() {
    txtServer_->clear();
    txtUser_->clear();
    txtPassword_->clear();
    txtProxy_->clear();
    listing_.clear();
}

void frmFTP::removeRootNode() {
    if (rootKey_.isNull()) {
        return;
    }
    if (QTreeWidgetItem* root = TreeView1_->node(rootKey_)) {
        TreeView1_->removeNode(root);
    }
    rootKey_ = QString();
}

void frmFTP::closeConnectionAndSession() {
    if (hConnect_ != ftp::kNoHandle) {
        transport_.internetCloseHandle(hConnect_);
    }
    if (hOpen_ != ftp::kNoHandle) {
        transport_.internetCloseHandle(hOpen_);
    }
    hConnect_ = ftp::kNoHandle;
    hOpen_ = ftp::kNoHandle;
    if (bConnected_) {
        removeRootNode();
    }
    bConnected_ = false;
    clearFields();
    enableControls(false);
}

frmFTP::Next frmFTP::errorOut(std::uint32_t dError, const char* szCallFunction) {
    if (dError == ftp::error::kExtendedError) {
        ServerResponse response = lastServerResponse(transport_);
        inform(text(extendedErrorText(szCallFunction, response.number, response.text)));
    }
    if (services_.boxes.askYesNo(this, text(closeQuestionText(szCallFunction, dError)))) {
        closeConnectionAndSession();
        return Next::kStop;
    }
    return Next::kGoOn;
}

// ---- Session and connection ---------------------------------------------------------------

void frmFTP::onInternetOpen() {
    const QString proxy = txtProxy_->text();
    if (proxy.length() > 0) {
        hOpen_ = transport_.internetOpen(kAgent, ftp::kAccessNamedProxy, bytes(proxy), {}, 0);
    } else {
        hOpen_ = transport_.internetOpen(kAgent, ftp::kAccessDirect, {}, {}, 0);
    }
    if (hOpen_ == ftp::kNoHandle) {
        errorOut(ftp::lastError(), "InternetOpen");
    }
    // Whatever the report's answer, the session controls are offered; Connect does nothing
    // while no session is open.
    enableControls(true);
}

void frmFTP::onCloseInternetSession() {
    closeConnectionAndSession();
}

void frmFTP::onConnect() {
    if (bConnected_ || hOpen_ == ftp::kNoHandle) {
        return;
    }
    const QString server = txtServer_->text();
    if (server.isEmpty()) {
        inform(QString::fromLatin1(kNoServerText));
        return;
    }
    std::uint32_t flags = chkPassive_->isChecked() ? ftp::kFlagPassive : 0;
    hConnect_ = transport_.internetConnect(hOpen_, bytes(server), 0, bytes(txtUser_->text()),
                                           bytes(txtPassword_->text()), ftp::kServiceFtp, flags, 0);
    if (hConnect_ == ftp::kNoHandle) {
        bConnected_ = false;
        errorOut(ftp::lastError(), "InternetConnect");
        return;
    }
    bConnected_ = true;
    enableControls(hOpen_ != ftp::kNoHandle);

    listing_.clear();
    fillTree(server);  // with no entries listed, this adds the root node
    rootKey_ = server;
    if (listRemoteDir(QString()) == Next::kStop) {
        return;
    }
    if (!listing_.empty()) {
        fillTree(server);
    }
}

void frmFTP::onDisconnect() {
    if (hConnect_ != ftp::kNoHandle) {
        transport_.internetCloseHandle(hConnect_);
    }
    hConnect_ = ftp::kNoHandle;
    listing_.clear();
    removeRootNode();
    bConnected_ = false;
    enableControls(true);
}

void frmFTP::onClose() {
    hide();
    close();
}

void frmFTP::closeEvent(QCloseEvent* event) {
    handle([this] { closeConnectionAndSession(); });
    event->accept();
}

// ---- Remote tree ----------------------------------------------------------------------------

frmFTP::Next frmFTP::rcd(const QString& dir) {
    if (dir.isEmpty()) {
        inform(QString::fromLatin1(kNoDirectoryText));
        return Next::kGoOn;
    }
    std::string directory = remoteDirectory(bytes(dir), bytes(txtServer_->text()));
    if (!transport_.ftpSetCurrentDirectory(hConnect_, directory)) {
        return errorOut(ftp::lastError(), "rcd");
    }
    return Next::kGoOn;
}

frmFTP::Next frmFTP::listRemoteDir(const QString& dir) {
    listing_.clear();
    if (!dir.isEmpty() && rcd(dir) == Next::kStop) {
        return Next::kStop;
    }
    ListingEnd end = readCurrentDirectory(transport_, hConnect_, listing_);
    if (end.kind == ListingEnd::Kind::kEmpty) {
        inform(QString::fromLatin1(kEmptyDirectoryText));
    } else if (end.kind == ListingEnd::Kind::kFailed &&
               errorOut(end.error, end.failedCall) == Next::kStop) {
        return Next::kStop;
    }
    if (end.truncated) {
        inform(truncatedListingText());
    }
    return Next::kGoOn;
}

void frmFTP::fillTree(const QString& parentKey) {
    if (parentKey == txtServer_->text() && listing_.empty()) {
        TreeView1_->addRoot(parentKey, kRoot);  // a root already there stays as it is
        return;
    }
    QTreeWidgetItem* parent = TreeView1_->node(parentKey);
    if (parent == nullptr || listing_.empty()) {
        return;
    }
    std::vector<RemoteTree::NewNode> nodes;
    nodes.reserve(listing_.size());
    for (std::size_t i = 0; i < listing_.size(); ++i) {
        nodes.push_back({parentKey + "/" + text(listing_.colNames[i]),
                         isDirectoryEntry(listing_.colAttributes[i]) ? kClosed : kLeaf});
    }
    if (QTreeWidgetItem* last = TreeView1_->addChildren(parent, nodes)) {
        TreeView1_->ensureVisible(last);
    }
}

void frmFTP::onTreeDoubleClick() {
    if (!bConnected_) {
        inform(QString::fromLatin1(kNoSessionForTreeText));
        return;
    }
    QTreeWidgetItem* node = TreeView1_->selectedNode();
    if (node == nullptr) {
        inform(QString::fromLatin1(kNoSelectionText));
        return;
    }
    const QString image = RemoteTree::imageOf(node);
    const QString path = node->text(0);
    if (image == kClosed) {
        TreeView1_->setImage(node, kOpen);
        if (listRemoteDir(path) == Next::kStop) {
            return;  // the node went with the connection
        }
        fillTree(path);
    } else if (image == kOpen) {
        TreeView1_->setImage(node, kClosed);
        TreeView1_->removeChildren(node);
    }
}

// ---- Transfers and the local lists --------------------------------------------------------

void frmFTP::onGet() {
    if (!bConnected_) {
        inform(QString::fromLatin1(kNoSessionText));
        return;
    }
    QTreeWidgetItem* node = TreeView1_->selectedNode();
    if (node == nullptr) {
        inform(QString::fromLatin1(kSelectGetText));
        return;
    }
    NodePathParts parts = splitNodePath(bytes(node->text(0)));
    if (!ftp::isPlainRemoteName(parts.name)) {
        inform(notPlainNameText(text(parts.name)));
        return;
    }
    if (rcd(text(parts.directory)) == Next::kStop) {
        return;
    }
    std::string localPath = bytes(File1_->path()) + "/" + parts.name;
    bool got = transport_.ftpGetFile(hConnect_, parts.name, localPath, false, kGetAttributes,
                                     dwTransferType_, 0);
    std::uint32_t error = ftp::lastError();
    handle([this] { File1_->refresh(); });
    if (!got) {
        errorOut(error, "FtpGetFile");
    }
}

void frmFTP::onPut() {
    if (!bConnected_) {
        return;
    }
    QTreeWidgetItem* node = TreeView1_->selectedNode();
    if (node == nullptr || RemoteTree::imageOf(node) == kLeaf) {
        inform(QString::fromLatin1(kSelectPutFolderText));
        return;
    }
    const QString name = File1_->fileName();
    if (name.isEmpty()) {
        inform(QString::fromLatin1(kSelectLocalFileText));
        return;
    }
    const QString path = node->text(0);
    std::optional<std::string> directory = uploadDirectory(bytes(path), bytes(txtServer_->text()));
    if (!directory) {
        inform(QString::fromLatin1(kSelectPutFolderText));
        return;
    }
    std::string localPath = bytes(File1_->path()) + "/" + bytes(name);
    if (rcd(text(*directory)) == Next::kStop) {
        return;
    }
    if (!transport_.ftpPutFile(hConnect_, localPath, bytes(name), dwTransferType_, 0)) {
        errorOut(ftp::lastError(), "FtpPutFile");
        return;
    }
    // The node is listed anew, now with the uploaded file.
    TreeView1_->removeChildren(node);
    if (RemoteTree::imageOf(node) == kClosed) {
        TreeView1_->setImage(node, kOpen);
    }
    if (listRemoteDir(path) == Next::kStop) {
        return;
    }
    fillTree(path);
}

void frmFTP::onDriveChange() {
    try {
        widgets::followDrive(*Drive1_, *Dir1_);
    } catch (const Failure&) {
        // When drive c: fails too, the lists stay where they were.
    }
}

void frmFTP::fallBackToDriveC() {
    // Without a message; when drive c: fails too, the lists stay where they were.
    try {
        Drive1_->setDrive(QStringLiteral("c:"));  // runs onDriveChange when the drive changes
        Dir1_->setPath(Drive1_->drive());
    } catch (const Failure&) {
    }
}

void frmFTP::onDirChange() {
    File1_->setPath(Dir1_->path());
}

}  // namespace varnox::ftpwin
