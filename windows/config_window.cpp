#include "windows/config_window.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cctype>

#include "game/game_folder.h"
#include "settings/settings_save.h"
#include "windows/config_host.h"
#include "windows/controls.h"
#include "windows/file_lists.h"
#include "windows/layout.h"
#include "windows/message_boxes.h"
#include "windows/text.h"

namespace varnox::windows {

namespace {

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

// The caption under which a value the settings file cannot store is named. The uz folder is
// the game folder with "/uz" added, so it can only fail with it.
QString captionOf(settings::Field field) {
    switch (field) {
        case settings::Field::kGameFolder:
        case settings::Field::kUzFolder:
            return QStringLiteral("UT folder");
        case settings::Field::kGameDrive:
            return QStringLiteral("UT drive");
        case settings::Field::kServer:
            return QStringLiteral("Redirect Server IP");
        case settings::Field::kUser:
            return QStringLiteral("User Name");
        case settings::Field::kPassword:
            break;
    }
    return QStringLiteral("Password");
}

// True when `text` wrapped in `width` twips takes no more than `height` twips.
bool fitsIn(const QFontMetrics& metrics, const char* text, int width, int height) {
    // A pixel or two to spare for the label's own rounding.
    QRect box(0, 0, pixelsFromTwips(width) - 2, 10000);
    QRect used = metrics.boundingRect(box, Qt::TextWordWrap, QString::fromLatin1(text));
    return used.height() <= pixelsFromTwips(height);
}

// The window was laid out for MS Sans Serif, which is narrower than most faces that stand in
// for it. With a wider face the captions beside the fields wrap onto a second line that their
// boxes cannot show, and the instructions run on under the message label. So where the face
// is wider than the layout allows, the window's font is narrowed, down to three quarters of
// its width at most, until every fixed text fits the part of its box that can be seen.
QFont fittedFont() {
    QFont font = classicFont();
    for (int stretch = 100; stretch >= 75; stretch -= 5) {
        font.setStretch(stretch);
        QFontMetrics metrics(font);
        bool fits = fitsIn(metrics, ConfigWindow::kInfoText, kInfoWidth, kMessagesTop - kInfoTop);
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

ConfigWindow::ConfigWindow(Services& services, ConfigHost& host, QWidget* parent)
    : QWidget(parent, kWindowFrame | Qt::WindowMinMaxButtonsHint),
      services_(services),
      host_(host) {
    setUpWindow(this, "frmConfig", "Tolvrin's Brindle - Configuration", fittedFont(), 5280, 6945);
    buildControls();
}

void ConfigWindow::buildControls() {
    // Created bottom of the stack first: the two message labels, then the controls that
    // overlap the lower edge of lblMessages.
    infoLabel_ =
        plainLabel(this, "lblInfo", QString(), kInfoLeft, kInfoTop, kInfoWidth, kInfoHeight);
    messageLabel_ = plainLabel(this, "lblMessages", QString(), 345, kMessagesTop, 4455, 1335);

    searchButton_ =
        commandButton(this, "cmdSearch", QStringLiteral("S&earch"), 3585, 1935, 1215, 375);
    driveList_ = placed<DriveList>(this, "Drive2", 375, 1980, 2775, 315, services_.drives);
    folderList_ = placed<FolderList>(this, "Dir2", 368, 2355, 4545, 1890, services_.drives);

    uzFolderBox_ = textBox(this, "txtUZDrive", 1853, 4545, 3015, 285);
    uzFolderBox_->setEnabled(false);  // shown only; neither focused nor edited
    serverBox_ = textBox(this, "txtServerIp", 1853, 5025, 3015, 285);
    userBox_ = textBox(this, "txtUserName", 1373, 5505, 1215, 285);
    passwordBox_ = passwordBox(this, "txtUserPwd", 3653, 5505, 1215, 285);
    passwordAgainBox_ = passwordBox(this, "txtUserPwd2", 3653, 5985, 1215, 285);

    saveButton_ = commandButton(this, "cmdSave", QStringLiteral("&Save"), 240, 6495, 1095, 375);
    loadButton_ = commandButton(this, "cmdLoad", QStringLiteral("&Load"), 1440, 6495, 1095, 375);
    helpButton_ = commandButton(this, "cmdHelp", QStringLiteral("&Help"), 2640, 6495, 1095, 375);
    doneButton_ = commandButton(this, "cmdDone", QStringLiteral("&Done"), 3840, 6480, 1095, 375);
    // Each caption names its box for screen readers.
    QWidget* boxes[] = {uzFolderBox_, serverBox_, userBox_, passwordBox_, passwordAgainBox_};
    for (std::size_t i = 0; i < std::size(kCaptions); ++i) {
        const Caption& c = kCaptions[i];
        plainLabel(this, c.name, QString::fromLatin1(c.text), c.left, c.top, c.width, c.height)
            ->setBuddy(boxes[i]);
    }

    infoLabel_->lower();
    messageLabel_->raise();
    driveList_->raise();
    searchButton_->raise();

    setFocusOrder({searchButton_, driveList_, folderList_, uzFolderBox_, serverBox_, userBox_,
                   passwordBox_, passwordAgainBox_, saveButton_, loadButton_, helpButton_,
                   doneButton_});

    // Load and Help have no action in this window.
    connect(searchButton_, &QPushButton::clicked, this, [this] { handle([this] { onSearch(); }); });
    connect(driveList_, &DriveList::driveChanged, this,
            [this] { handle([this] { followDrive(*driveList_, *folderList_); }); });
    connect(folderList_, &FolderList::openFailed, this,
            [this](const Failure& failure) { reportFailure(services_.boxes, this, failure); });
    connect(saveButton_, &QPushButton::clicked, this, [this] { handle([this] { onSave(); }); });
    connect(doneButton_, &QPushButton::clicked, this, [this] { handle([this] { onDone(); }); });
}

template <typename Handler>
void ConfigWindow::handle(Handler&& handler) {
    guarded(services_.boxes, this, std::forward<Handler>(handler));
}

QString ConfigWindow::savedText(const QString& folder, const QString& drive) {
    return QStringLiteral("config.text saved in ") + folder + QStringLiteral(" UT Drive = ") +
           drive;
}

QString ConfigWindow::refusedText(const QString& caption) {
    return QStringLiteral("The ") + caption +
           QStringLiteral(
               " holds a double quote or a line break, which the settings file cannot store. "
               "Nothing was saved.");
}

void ConfigWindow::load() {
    handle([this] {
        infoLabel_->setText(QString::fromLatin1(kInfoText));
        messageLabel_->setText(QString::fromLatin1(kServerInfoText));
        try {
            if (loadSettings()) {
                return;
            }
        } catch (const Failure&) {
            // An unreadable file, a saved drive that is not available or a saved folder that
            // is gone: the window recovers on its own, as when there is no file. Text boxes
            // filled so far keep their text.
        }
        driveList_->setDrive("C:");
        folderList_->setFolder(driveList_->drive());
    });
}

// Fills the fields and lists from the settings file; false when there is none.
bool ConfigWindow::loadSettings() {
    const std::optional<settings::Settings> stored =
        settings::readSettingsFile(services_.settingsFile);
    if (!stored) {
        return false;
    }
    showBytes(serverBox_, stored->server);
    showBytes(userBox_, stored->user);
    showBytes(passwordBox_, stored->password);
    showBytes(passwordAgainBox_, stored->password);  // an unchanged pair matches
    uzFolderBox_->setText(fromBytes(game::GameFolder(stored->gameFolder).uzFolderSetting()));
    driveList_->setDrive(stored->gameDrive);
    folderList_->setFolder(stored->gameFolder);
    return true;
}

void ConfigWindow::onSearch() {
    // Nothing is shown for a hit or a miss; the lists show the outcome.
    for (const game::GameFound& found : game::searchForGame(services_.drives)) {
        const char upper =
            static_cast<char>(std::toupper(static_cast<unsigned char>(found.letter)));
        driveList_->setDrive(std::string(1, upper) + ":");
        folderList_->setFolder(found.folder);
    }
}

void ConfigWindow::onSave() {
    const settings::SaveRequest request{folderList_->folder().native(),
                                        driveList_->drive(),
                                        bytesOf(serverBox_),
                                        bytesOf(userBox_),
                                        bytesOf(passwordBox_),
                                        bytesOf(passwordAgainBox_)};
    const settings::SavePlan plan = settings::planSave(request);
    if (const std::optional<settings::Record> record = settings::unstorableField(plan.values)) {
        messageLabel_->setText(shortened(refusedText(captionOf(record->field))));
        return;
    }
    try {
        settings::carryOut(plan, services_.settingsFile);
    } catch (const Failure&) {
        messageLabel_->setText(QString::fromLatin1(kNotSavedText));
        throw;  // reported in a message box; the main window's lists stay where they are
    }
    QString text =
        savedText(fromPath(services_.settingsFile.parent_path()), fromBytes(request.gameDrive));
    if (plan.passwordsDiffer) {
        // Below the confirmation, so that both stay in view.
        text += QChar('\n') + QString::fromLatin1(kMismatchText);
    }
    messageLabel_->setText(shortened(text));
    host_.moveListsTo(request.gameDrive, request.gameFolder);
}

void ConfigWindow::onDone() {
    hide();
    host_.showAgain();
}

}  // namespace varnox::windows
