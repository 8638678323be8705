#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

#include "ftp/transport.h"
#include "ftp/window/remote_listing.h"
#include "platform/services.h"
#include "settings/settings_file.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidgetItem;

namespace varnox::widgets {
class DriveList;
class FolderList;
class FileList;
}  // namespace varnox::widgets

namespace varnox::ftpwin {

class ImageList;
class RemoteTree;

// The FTP window: an FTP client for the redirect server. The top band opens and closes
// the Internet session (optionally through a proxy), the second band connects to the
// server, and the lower half shows the server's folders as a tree beside the local drive,
// folder and file lists, with Get and Put between them.
//
// States: Idle (no session), Session open, Connected. Every failed FTP call is reported by
// errorOut(), which ends in the question whether to close the connection and the session;
// a Yes returns the window to Idle and the handler that met the failure stops there.
class frmFTP : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Tolvrin's Brindle - FTP";
    static constexpr const char* kAgent = "vb wininet";

    // The messages of the window.
    static constexpr const char* kNoServerText = "Please enter a server name!";
    static constexpr const char* kEmptyDirectoryText = "This directory is empty!";
    static constexpr const char* kNoSessionForTreeText = "No in session!";
    static constexpr const char* kNoSelectionText = "no Selection to enumerate";
    static constexpr const char* kNoDirectoryText = "Please enter the directory to CD";
    static constexpr const char* kNoSessionText = "Not in session";
    static constexpr const char* kSelectGetText = "Please select the item to GET!";
    static constexpr const char* kSelectPutFolderText =
        "Please select a remote directory to PUT to!";
    static constexpr const char* kSelectLocalFileText = "Please select a local file to put";
    // A listing cut at kMaxListedEntries.
    static QString truncatedListingText();
    // Get refuses a remote name that could lead outside the local folder.
    static QString notPlainNameText(const QString& name);

    // Creates the window and runs its load: the server fields and the local lists come
    // from the settings record, read here once.
    frmFTP(platform::Services& services, const settings::SettingsRecord& record,
           QWidget* parent = nullptr);
    ~frmFTP() override;

    bool sessionOpen() const { return hOpen_ != ftp::kNoHandle; }
    bool connected() const { return bConnected_; }
    // 1 for ASCII, 2 for binary.
    std::uint32_t transferType() const { return dwTransferType_; }
    // The entries of the last remote listing.
    const RemoteListing& listing() const { return listing_; }
    RemoteTree& tree() { return *TreeView1_; }
    ftp::Transport& transport() { return transport_; }

protected:
    // Unloading: the session and the connection are closed first; it never refuses.
    void closeEvent(QCloseEvent* event) override;

private:
    // Whether a handler goes on after a step that may have closed everything.
    enum class Next { kGoOn, kStop };

    void buildControls();
    void load();
    template <typename Handler>
    void handle(Handler&& handler);

    void enableControls(bool p);
    void clearFields();
    void closeConnectionAndSession();
    Next errorOut(std::uint32_t dError, const char* szCallFunction);
    void removeRootNode();

    Next rcd(const QString& dir);
    Next listRemoteDir(const QString& dir);
    void fillTree(const QString& parentKey);

    void onInternetOpen();
    void onCloseInternetSession();
    void onConnect();
    void onDisconnect();
    void onClose();
    void onTreeDoubleClick();
    void onGet();
    void onPut();
    void onDriveChange();
    void onDirChange();
    void fallBackToDriveC();

    void inform(const QString& text);

    platform::Services& services_;
    settings::SettingsRecord record_;

    ftp::Transport transport_;
    ftp::Handle hOpen_ = ftp::kNoHandle;
    ftp::Handle hConnect_ = ftp::kNoHandle;
    bool bConnected_ = false;
    std::uint32_t dwTransferType_ = ftp::kTransferBinary;
    RemoteListing listing_;
    // The key of the root node that the connection added, so the node goes with the
    // connection even after the server box was edited.
    QString rootKey_;

    QPushButton* cmdInternetOpen_;
    QLineEdit* txtProxy_;
    QPushButton* cmdClosehOpen_;
    QLineEdit* txtServer_;
    QLineEdit* txtUser_;
    QLineEdit* txtPassword_;
    QPushButton* cmdConnect_;
    QPushButton* cmdDisconnect_;
    QCheckBox* chkPassive_;
    widgets::DriveList* Drive1_;
    widgets::FolderList* Dir1_;
    widgets::FileList* File1_;
    RemoteTree* TreeView1_;
    QPushButton* cmdGet_;
    QPushButton* cmdPut_;
    QRadioButton* optBin_;
    QRadioButton* optAscii_;
    QPushButton* cmdClose_;
    QLabel* Label1_;
    QLabel* Label2_;
    QLabel* Label3_;
    QLabel* label4_;
    QFrame* Line1_;
    ImageList* ImageList1_;
};

}  // namespace varnox::ftpwin
