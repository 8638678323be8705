#include "configwin/frm_config.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cctype>

#include "configwin/config_host.h"
#include "configwin/config_save.h"
#include "configwin/game_search.h"
#include "platform/files.h"
#include "platform/guard.h"
#include "settings/settings_file.h"
#include "widgets/classic.h"
#include "widgets/controls.h"
#include "widgets/file_lists.h"

namespace varnox::configwin {

namespace {

using widgets::commandButton;
using widgets::passwordBox;
using widgets::plainLabel;
using widgets::textBox;

QString fromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text);
}
std::string toBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// The captions beside the fields, in twips.
struct Caption {
    const char* name;
    const char* text;
    int left, top, width, height;
};
constexpr Caption kCaptions[] = {
    {"Label5", "Default UZ folder", 510, 4575, 1275, 255},
    {"Label1", "Redirect Server IP", 360, 5025, 1425, 255},
    {"Label2", "User Name", 435, 5505, 870, 255},
    {"Label3", "Password", 2850, 5505, 720, 255},
    {"Label6", "Verify Password", 2400, 6000, 1155, 255},
};

// The instructions label; the message label covers it from its own top down.
constexpr int kInfoLeft = 323, kInfoTop = 120, kInfoWidth = 4635, kInfoHeight = 1305;
constexpr int kMessagesTop = 750;

// True when `text` wrapped in `width` twips takes no more than `height` twips.
bool fitsIn(const QFontMetrics& metrics, const char* text, int width, int height) {
    // A pixel or two to spare for the label's own rounding.
    QRect box(0, 0, widgets::pixelsFromTwips(width) - 2, 10000);
    QRect used = metrics.boundingRect(box, Qt::TextWordWrap, QString::fromLatin1(text));
    return used.height() <= widgets::pixelsFromTwips(height);
}

// The window was laid out for MS Sans Serif, which is narrower than most faces that stand in
// for it. With a wider face the captions beside the fields wrap onto a second line that their
// boxes cannot show, and the instructions run on under the message label. So where the face
// is wider than the layout allows, the window's font is narrowed, down to three quarters of
// its width at most, until every fixed text fits the part of its box that can be seen.
QFont fittedFont() {
    QFont font = widgets::classicFont();
    for (int stretch = 100; stretch >= 75; stretch -= 5) {
        font.setStretch(stretch);
        QFontMetrics metrics(font);
        bool fits = fitsIn(metrics, frmConfig::kInfoText, kInfoWidth, kMessagesTop - kInfoTop);
        for (const Caption& caption : kCaptions) {
            fits = fits && fitsIn(metrics, caption.text, caption.width, caption.height);
        }
        if (fits) {
            break;
        }
    }
    return font;
}

}  // namespace

frmConfig::frmConfig(platform::Services& services, ConfigHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      services_(services),
      host_(host) {
    setObjectName(QStringLiteral("frmConfig"));
    setWindowTitle(QStringLiteral("Tolvrin's Brindle - Configuration"));
    setFont(fittedFont());
    widgets::sizeClientInTwips(this, 5280, 6945);
    buildControls();
}

void frmConfig::buildControls() {
    // Created bottom of the stack first: the two message labels, then the controls that
    // overlap the lower edge of lblMessages.
    lblInfo_ = plainLabel(this, "lblInfo", QString(), kInfoLeft, kInfoTop, kInfoWidth, kInfoHeight);
    lblMessages_ = plainLabel(this, "lblMessages", QString(), 345, kMessagesTop, 4455, 1335);
    for (const Caption& c : kCaptions) {
        plainLabel(this, c.name, QString::fromLatin1(c.text), c.left, c.top, c.width, c.height);
    }

    cmdSearch_ = commandButton(this, "cmdSearch", QStringLiteral("S&earch"), 3585, 1935, 1215, 375);
    Drive2_ = new widgets::DriveList(services_.drives, this);
    Drive2_->setObjectName(QStringLiteral("Drive2"));
    widgets::placeInTwips(Drive2_, 375, 1980, 2775, 315);
    Dir2_ = new widgets::FolderList(services_.drives, this);
    Dir2_->setObjectName(QStringLiteral("Dir2"));
    widgets::placeInTwips(Dir2_, 368, 2355, 4545, 1890);

    txtUZDrive_ = textBox(this, "txtUZDrive", 1853, 4545, 3015, 285);
    txtUZDrive_->setEnabled(false);  // shown only; neither focused nor edited
    txtServerIp_ = textBox(this, "txtServerIp", 1853, 5025, 3015, 285);
    txtUserName_ = textBox(this, "txtUserName", 1373, 5505, 1215, 285);
    txtUserPwd_ = passwordBox(this, "txtUserPwd", 3653, 5505, 1215, 285);
    txtUserPwd2_ = passwordBox(this, "txtUserPwd2", 3653, 5985, 1215, 285);

    cmdSave_ = commandButton(this, "cmdSave", QStringLiteral("&Save"), 240, 6495, 1095, 375);
    cmdLoad_ = commandButton(this, "cmdLoad", QStringLiteral("&Load"), 1440, 6495, 1095, 375);
    cmdHelp_ = commandButton(this, "cmdHelp", QStringLiteral("&Help"), 2640, 6495, 1095, 375);
    cmdDone_ = commandButton(this, "cmdDone", QStringLiteral("&Done"), 3840, 6480, 1095, 375);

    lblInfo_->lower();
    lblMessages_->raise();
    Drive2_->raise();
    cmdSearch_->raise();

    QWidget* order[] = {cmdSearch_,   Drive2_,      Dir2_,       txtUZDrive_,
                        txtServerIp_, txtUserName_, txtUserPwd_, txtUserPwd2_,
                        cmdSave_,     cmdLoad_,     cmdHelp_,    cmdDone_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    cmdSearch_->setFocus();

    // Load and Help have no action in this window.
    connect(cmdSearch_, &QPushButton::clicked, this, [this] { handle([this] { onSearch(); }); });
    connect(Drive2_, &widgets::DriveList::driveChanged, this,
            [this] { handle([this] { onDriveChange(); }); });
    connect(Dir2_, &widgets::FolderList::openFailed, this, [this](int number, const QString& text) {
        platform::reportFailure(services_.boxes, this, Failure(number, toBytes(text)));
    });
    connect(cmdSave_, &QPushButton::clicked, this, [this] { handle([this] { onSave(); }); });
    connect(cmdDone_, &QPushButton::clicked, this, [this] { handle([this] { onDone(); }); });
}

template <typename Handler>
void frmConfig::handle(Handler&& handler) {
    platform::guarded(services_.boxes, this, std::forward<Handler>(handler));
}

QString frmConfig::savedText(const QString& programFolder, const QString& drive) {
    return QStringLiteral("config.text saved in ") + programFolder +
           QStringLiteral(" UT Drive = ") + drive;
}

QString frmConfig::refusedText(const QString& caption) {
    return QStringLiteral("The ") + caption +
           QStringLiteral(
               " holds a double quote or a line break, which the settings file cannot store. "
               "Nothing was saved.");
}

void frmConfig::load() {
    handle([this] {
        lblInfo_->setText(QString::fromLatin1(kInfoText));
        lblMessages_->setText(QString::fromLatin1(kServerInfoText));
        try {
            if (loadSettings()) {
                return;
            }
        } catch (const Failure&) {
            // An unreadable file, a saved drive that is not available or a saved folder that
            // is gone: the window recovers on its own, as when there is no file. Text boxes
            // filled so far keep their text.
        }
        Drive2_->setDrive(QStringLiteral("C:"));
        Dir2_->setPath(Drive2_->drive());
    });
}

// Fills the fields and lists from the settings file; false when there is none.
bool frmConfig::loadSettings() {
    auto stored = settings::readSettingsFile(settings::settingsFilePath(services_.programFolder));
    if (!stored) {
        return false;
    }
    txtServerIp_->setText(fromBytes(stored->serverIp));
    txtUserName_->setText(fromBytes(stored->username));
    txtUserPwd_->setText(fromBytes(stored->password));
    txtUserPwd2_->setText(fromBytes(stored->password));  // an unchanged pair matches on Save
    txtUZDrive_->setText(fromBytes(stored->utPath + "/uz"));
    Drive2_->setDrive(fromBytes(stored->utDrive));
    Dir2_->setPath(fromBytes(stored->utPath));
    return true;
}

void frmConfig::onSearch() {
    // Nothing is shown for a hit or a miss; the lists show the outcome.
    for (const GameFound& found : searchForGame(services_.drives)) {
        char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(found.letter)));
        Drive2_->setDrive(QString(QChar(upper)) + QChar(':'));
        Dir2_->setPath(fromBytes(found.folder));
    }
}

void frmConfig::onDriveChange() {
    widgets::followDrive(*Drive2_, *Dir2_);
}

void frmConfig::onSave() {
    ConfigEntries entries{toBytes(Dir2_->path()),        toBytes(Drive2_->drive()),
                          toBytes(txtServerIp_->text()), toBytes(txtUserName_->text()),
                          toBytes(txtUserPwd_->text()),  toBytes(txtUserPwd2_->text())};
    SavePlan plan = planSave(entries);
    // Refused before anything is created or written.
    if (auto caption = unstorableCaption(plan)) {
        lblMessages_->setText(refusedText(fromBytes(*caption)));
        return;
    }
    uzFolder_ = plan.uzFolder;
    markerFile_ = plan.markerFile;
    try {
        // Only what is missing is created: a uz folder without its marker gets the marker.
        if (!platform::ordinaryFileExists(markerFile_)) {
            if (!platform::folderExists(uzFolder_)) {
                platform::createFolder(uzFolder_);
            }
            createafile();
        }
        // Complete or not at all: a failed write leaves the previous file as it was.
        settings::writeSettingsFile(settings::settingsFilePath(services_.programFolder),
                                    plan.values);
    } catch (const Failure&) {
        lblMessages_->setText(QString::fromLatin1(kNotSavedText));
        throw;  // reported in a message box; the main window's lists stay where they are
    }
    QString text = savedText(fromBytes(services_.programFolder), fromBytes(entries.gameDrive));
    if (plan.passwordsDiffer) {
        // Below the confirmation, so that both stay in view.
        text += QChar('\n') + QString::fromLatin1(kMismatchText);
    }
    lblMessages_->setText(text);
    host_.moveListsTo(fromBytes(entries.gameDrive), fromBytes(entries.gameFolder));
}

// Writes the marker file, replacing any file of that name.
void frmConfig::createafile() {
    platform::writeTextFileLine(markerFile_, kMarkerLine);
}

void frmConfig::onDone() {
    hide();
    host_.showAgain();
}

}  // namespace varnox::configwin
