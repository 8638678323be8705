#include "mainwin/frm_brindle.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "configwin/frm_config.h"
#include "ftp/window/frm_ftp.h"
#include "helpwin/frm_help.h"
#include "mainwin/compress_command.h"
#include "mainwin/decompress_command.h"
#include "mainwin/tool_runner.h"
#include "platform/guard.h"
#include "widgets/classic.h"
#include "widgets/controls.h"
#include "widgets/file_lists.h"

namespace varnox::mainwin {

namespace {

using widgets::checkBox;
using widgets::commandButton;

}  // namespace

frmBrindle::frmBrindle(platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      services_(services) {
    setObjectName(QStringLiteral("frmBrindle"));
    setWindowTitle(QStringLiteral("Tolvrin's Brindle V1.0.1b"));
    setFont(widgets::classicFont());
    widgets::sizeClientInTwips(this, 8490, 5640);
    buildControls();
}

frmBrindle::~frmBrindle() {
    delete help_.data();
    delete config_.data();
    delete ftp_.data();
}

void frmBrindle::buildControls() {
    Drive1_ = new widgets::DriveList(services_.drives, this);
    Drive1_->setObjectName(QStringLiteral("Drive1"));
    widgets::placeInTwips(Drive1_, 240, 240, 2775, 315);

    Dir1_ = new widgets::FolderList(services_.drives, this);
    Dir1_->setObjectName(QStringLiteral("Dir1"));
    widgets::placeInTwips(Dir1_, 240, 855, 3165, 2565);

    File1_ = new widgets::FileList(this);
    File1_->setObjectName(QStringLiteral("File1"));
    widgets::placeInTwips(File1_, 3540, 840, 4875, 3210);

    cmdHelp_ = commandButton(this, "cmdHelp", QStringLiteral("&Help"), 5681, 5160, 1095, 375);
    cmdConfig_ =
        commandButton(this, "cmdConfig", QStringLiteral("Confi&gure"), 394, 5160, 1095, 375);
    cmdFtp_ = commandButton(this, "cmdFtp", QStringLiteral("&FTP"), 4361, 5160, 1095, 375);
    cmdCompress_ =
        commandButton(this, "cmdCompress", QStringLiteral("&Compress"), 1721, 5160, 1095, 375);
    cmdDecompress_ =
        commandButton(this, "cmdDecompress", QStringLiteral("&Decompress"), 3041, 5160, 1095, 375);
    cmdExit_ = commandButton(this, "cmdExit", QStringLiteral("E&xit"), 7001, 5160, 1095, 375);
    cmdRefresh_ =
        commandButton(this, "cmdRefresh", QStringLiteral("Refresh"), 2205, 3570, 1215, 375);

    chkHide_ =
        checkBox(this, "chkHide", QStringLiteral("Show UT FIles Only"), 5400, 120, 2895, 255);
    chkHide_->setEnabled(false);
    chkMoveFiles_ = checkBox(this, "chkMoveFiles", QStringLiteral("Move Decompressed Files"), 5400,
                             480, 2895, 255);
    chkMoveFiles_->setChecked(true);

    lblFileName_ = new QLabel(this);
    lblFileName_->setObjectName(QStringLiteral("lblFileName"));
    lblFileName_->setFont(widgets::classicFont(9.75));
    lblFileName_->setWordWrap(true);
    lblFileName_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFileName_->setTextFormat(Qt::PlainText);
    widgets::placeInTwips(lblFileName_, 240, 4185, 8055, 810);

    QWidget* order[] = {Drive1_,    Dir1_,       File1_,       cmdHelp_,
                        cmdConfig_, cmdFtp_,     cmdCompress_, cmdDecompress_,
                        cmdExit_,   cmdRefresh_, chkHide_,     chkMoveFiles_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    Drive1_->setFocus();

    connect(Drive1_, &widgets::DriveList::driveChanged, this,
            [this] { handle([this] { onDriveChange(); }); });
    connect(Dir1_, &widgets::FolderList::pathChanged, this,
            [this] { handle([this] { onDirChange(); }); });
    connect(Dir1_, &widgets::FolderList::openFailed, this, [this](int number, const QString& text) {
        platform::reportFailure(services_.boxes, this,
                                Failure(number, text.toLocal8Bit().toStdString()));
    });
    connect(File1_, &widgets::FileList::fileClicked, this,
            [this] { handle([this] { onFileClick(); }); });
    connect(cmdRefresh_, &QPushButton::clicked, this, [this] { handle([this] { onRefresh(); }); });
    connect(cmdConfig_, &QPushButton::clicked, this, [this] { handle([this] { onConfigure(); }); });
    connect(cmdFtp_, &QPushButton::clicked, this, [this] { handle([this] { onFtp(); }); });
    connect(cmdHelp_, &QPushButton::clicked, this, [this] { handle([this] { onHelp(); }); });
    connect(cmdExit_, &QPushButton::clicked, this, [this] { onExit(); });
    connect(cmdCompress_, &QPushButton::clicked, this,
            [this] { handle([this] { onCompress(); }); });
    connect(cmdDecompress_, &QPushButton::clicked, this,
            [this] { handle([this] { onDecompress(); }); });
}

template <typename Handler>
void frmBrindle::handle(Handler&& handler) {
    platform::guarded(services_.boxes, this, std::forward<Handler>(handler));
}

QString frmBrindle::status() const {
    return lblFileName_->text();
}

void frmBrindle::setStatus(const QString& text) {
    lblFileName_->setText(text);
    emit statusChanged(text);
}

void frmBrindle::load() {
    handle([this] {
        if (!settings::startupRead(services_.programFolder, record_)) {
            setStatus(QString::fromLatin1(kNoConfigText));
            return;  // the lists keep showing the program's current folder
        }
        setStatus(QString::fromLatin1(kDefaultConfigText));
        Dir1_->setPath(QString::fromLocal8Bit(record_.gstUTPath));
        Drive1_->setDrive(QString::fromLocal8Bit(record_.gstUTDrive));
    });
}

void frmBrindle::onDriveChange() {
    if (!widgets::followDrive(*Drive1_, *Dir1_)) {
        setStatus(Dir1_->path());
    }
}

void frmBrindle::onDirChange() {
    File1_->setPath(Dir1_->path());
}

void frmBrindle::onFileClick() {
    setStatus(File1_->fileName());
    QString ending = File1_->fileName().right(2);
    bool compressed = ending == QLatin1String("UZ") || ending == QLatin1String("uz");
    cmdDecompress_->setEnabled(compressed);
    cmdCompress_->setEnabled(!compressed);
}

void frmBrindle::onRefresh() {
    File1_->refresh();
}

void frmBrindle::onConfigure() {
    if (config_.isNull()) {
        // The close box destroys the configuration window and leaves this window hidden. The
        // application then ends with its last visible window (Qt's quitOnLastWindowClosed,
        // which stays on), so the program never runs on without a window; the user starts it
        // again to get this window back. Nothing is lost: Save writes config.txt at once.
        config_ = new configwin::frmConfig(services_, *this);
        config_->setAttribute(Qt::WA_DeleteOnClose);
        config_->load();
        widgets::centreWindow(config_);
    }
    config_->show();
    config_->raise();
    config_->activateWindow();
    hide();
    setStatus(QString());
}

void frmBrindle::moveListsTo(const QString& drive, const QString& folder) {
    Drive1_->setDrive(drive);
    Dir1_->setPath(folder);
    Drive1_->refresh();
    Dir1_->refresh();
}

void frmBrindle::showAgain() {
    show();
    activateWindow();
    File1_->refresh();
    Dir1_->refresh();
    Drive1_->refresh();
}

void frmBrindle::onFtp() {
    if (ftp_.isNull()) {
        // Created (and loaded) on the first click after each unloading; it reads the
        // settings record now.
        ftp_ = new ftpwin::frmFTP(services_, record_);
        ftp_->setAttribute(Qt::WA_DeleteOnClose);
        widgets::centreWindow(ftp_, this);
    }
    ftp_->show();
    ftp_->raise();
    ftp_->activateWindow();
}

void frmBrindle::onHelp() {
    if (help_.isNull()) {
        help_ = new helpwin::frmHelp();
        help_->setAttribute(Qt::WA_DeleteOnClose);
        widgets::centreWindow(help_, this);
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void frmBrindle::onExit() {
    hide();
    services_.endProgram();
}

void frmBrindle::onCompress() {
    ToolRunner runner(services_.processes, [this](const QString& text) { setStatus(text); });
    CompressCommand(*this, runner).run();
}

void frmBrindle::onDecompress() {
    ToolRunner runner(services_.processes, [this](const QString& text) { setStatus(text); });
    DecompressCommand(*this, runner, *chkMoveFiles_).run();
}

void frmBrindle::closeEvent(QCloseEvent* event) {
    // Closing the main window through its frame ends the program, as Exit does.
    event->accept();
    services_.endProgram();
}

}  // namespace varnox::mainwin
