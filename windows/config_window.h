#pragma once

#include <QString>
#include <QWidget>

#include "windows/services.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace varnox::windows {

class ConfigHost;
class DriveList;
class FolderList;

// The configuration window: the game folder chosen with a drive list and a folder list (by
// hand or by Search), the redirect server's address, user name and password, and Save, which
// writes the settings file, makes sure the uz folder exists and moves the main window's lists
// there. Done hides the window and hands back to the main window; hidden, the window keeps
// its state.
//
// The message label after a save: the confirmation "config.text saved in <folder of the
// settings file> UT Drive = <drive entry>"; when the two password boxes differ, a line break
// and "Password doesn't match and will not be saved." follow it, so both stay in view. A
// value the settings file cannot store (a double quote or a line break) is refused before
// anything is created or written, with a message naming the field by its caption. A save
// that fails (a folder that cannot be written, a full disk) is reported in a message box, the
// label says the settings were not saved, the previous settings file stays as it was and the
// main window's lists stay where they are.
class ConfigWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kInfoText =
        "Press the 'search' button to auto-detect the location of UT on your system or browse "
        "to your UnrealTournament directory. once you have selected your UT directory, press "
        "the 'save' button.";
    static constexpr const char* kServerInfoText =
        "The redirect server info is optional. The password field is not protected in the "
        "config file so you can leave it blank if you are worried about security.";
    static constexpr const char* kMismatchText = "Password doesn't match and will not be saved.";
    static constexpr const char* kNotSavedText = "The settings were not saved.";

    ConfigWindow(Services& services, ConfigHost& host, QWidget* parent = nullptr);

    // The Load handler: the fixed texts, then the saved settings into the fields and lists,
    // or the lists on drive c: when there is no settings file or it cannot be used. Runs once,
    // when the window is created.
    void load();

    static QString savedText(const QString& folder, const QString& drive);
    static QString refusedText(const QString& caption);

private:
    void buildControls();
    template <typename Handler>
    void handle(Handler&& handler);

    bool loadSettings();
    void onSearch();
    void onSave();
    void onDone();

    Services& services_;
    ConfigHost& host_;

    QPushButton* searchButton_;
    DriveList* driveList_;
    FolderList* folderList_;
    QLineEdit* uzFolderBox_;
    QLineEdit* serverBox_;
    QLineEdit* userBox_;
    QLineEdit* passwordBox_;
    QLineEdit* passwordAgainBox_;
    QPushButton* saveButton_;
    QPushButton* loadButton_;
    QPushButton* helpButton_;
    QPushButton* doneButton_;
    QLabel* infoLabel_;
    QLabel* messageLabel_;
};

}  // namespace varnox::windows
