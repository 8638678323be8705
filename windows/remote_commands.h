#pragma once

#include <QString>
#include <functional>

#include "ftp/session.h"
#include "platform/message_boxes.h"

class QTreeWidgetItem;
class QWidget;

namespace varnox::windows {

class FileList;
class FtpWorker;
class RemoteTree;

// The FTP window's commands on the server: opening and closing folder nodes of the remote
// tree, Get and Put, each call run off the window's thread. Every failed call is reported by
// report(), which ends in the question whether to close the connection and the session; a
// Yes closes everything and the command that met the failure stops there. A command whose
// folder cannot be changed to stops after the report, so nothing happens in another folder.
class RemoteCommands {
public:
    // The question about a server certificate that does not pass. Unlike the reports of
    // ftp/reports.h it is made of text, not bytes: the server's name is as typed, and each of
    // the certificate's names is shown as text on its own.
    static QString certificateQuestion(const QString& server, const ftp::Certificate& certificate,
                                       bool changed);

    // Whether a command goes on after a step that may have closed everything.
    enum class Next { kGoOn, kStop };

    struct Parts {
        ftp::Session& session;
        FtpWorker& worker;
        RemoteTree& tree;
        FileList& localFiles;
        platform::MessageBoxes& boxes;
        QWidget* window;
        std::function<std::string()> serverName;  // the server box's text as it is now
        std::function<ftp::TransferType()> transferType;
        std::function<void()> closeEverything;  // what a Yes to the report does
    };
    explicit RemoteCommands(Parts parts) : parts_(std::move(parts)) {}

    // After a connect: the root node, and below it what the login directory holds.
    void showServer(const std::string& server);
    // A double-click on the tree: opens or closes the selected folder node.
    void openOrCloseSelected();
    void get();
    void put();

    void forgetListing() { listing_ = {}; }

    // The server's reply comes first, for an extended error (12003) and for a refused login
    // (12014) that came with one. A cancelled call is not reported: the command just stops.
    Next report(const ftp::CallResult& result, const char* call);

private:
    void inform(const QString& text);
    // The selected node when connected and a node is selected; otherwise says which is
    // missing and returns null.
    QTreeWidgetItem* connectedSelection(const char* noSession, const char* noSelection);
    Next changeTo(const std::string& path);
    Next listFolder(const std::string& path);
    void fillTree(const std::string& parentKey);

    Parts parts_;
    ftp::Listing listing_;
};

}  // namespace varnox::windows
