#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "ftp/known_hosts.h"
#include "ftp/session.h"
#include "ftp/tls.h"
#include "settings/settings_file.h"
#include "windows/services.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace varnox::windows {

class DriveList;
class FolderList;
class FileList;
class FtpWorker;
class ImageList;
class RemoteCommands;
class RemoteTree;

// The FTP window: an FTP client for the redirect server. The top band opens and closes the
// session (optionally through a proxy), the second band connects to the server, and the
// lower half shows the server's folders as a tree beside the local drive, folder and file
// lists, with Get and Put between them. States: Idle (no session), Session open, Connected.
// Connecting, listings and transfers run off the window's thread (ftp_worker.h); a
// certificate that does not pass is shown to the user, whose trust is kept in
// trusted_servers.txt beside the settings file; so is an SFTP server's host key that
// ~/.ssh/known_hosts does not know, which goes there on a Yes.
class FtpWindow : public QWidget {
    Q_OBJECT
public:
    // Creates the window and runs its load: the server fields and the local lists come from
    // the settings, read here once.
    FtpWindow(Services& services, const settings::Settings& settings, QWidget* parent = nullptr);
    ~FtpWindow() override;

    const ftp::Session& session() const { return session_; }
    RemoteTree& tree() { return *remoteTree_; }

protected:
    // Closing: the connection and the session are closed first; it never refuses.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    void load();
    template <typename Handler>
    void handle(Handler&& handler);

    // Enables the controls for the session controls being offered (p) and the connection.
    void enableControls(bool p);
    bool askToTrust(const ftp::Certificate& certificate, bool changed);
    bool askToTrustHostKey(const ftp::HostKey& key);
    void closeEverything();
    void removeRootNode();

    void onStartSession();
    void onConnect();
    void onDisconnect();
    void onDriveChange();

    Services& services_;
    settings::Settings settings_;
    settings::TrustedServers trusted_;
    ftp::KnownHosts knownHosts_{ftp::KnownHosts::userFile()};
    ftp::Session session_;
    std::unique_ptr<FtpWorker> worker_;
    bool closeWhenDone_ = false;
    ftp::TransferType transferType_ = ftp::TransferType::kBinary;
    std::unique_ptr<RemoteCommands> remote_;
    // The key of the root node the connection added, so the node goes with the connection
    // even after the server box was edited.
    std::optional<std::string> rootKey_;

    QPushButton* startSessionButton_;
    QLineEdit* proxyBox_;
    QPushButton* closeSessionButton_;
    QLineEdit* serverBox_;
    QLineEdit* userBox_;
    QLineEdit* passwordBox_;
    QPushButton* connectButton_;
    QPushButton* disconnectButton_;
    QCheckBox* passiveBox_;
    DriveList* driveList_;
    FolderList* folderList_;
    FileList* fileList_;
    RemoteTree* remoteTree_;
    QPushButton* getButton_;
    QPushButton* putButton_;
    QRadioButton* binaryOption_;
    QRadioButton* asciiOption_;
    QPushButton* closeButton_;
    ImageList* pictures_;
};

}  // namespace varnox::windows
