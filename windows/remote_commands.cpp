#include "windows/remote_commands.h"

#include <QTreeWidgetItem>

#include "ftp/errors.h"
#include "ftp/names.h"
#include "ftp/reports.h"
#include "windows/file_lists.h"
#include "windows/ftp_worker.h"
#include "windows/message_boxes.h"
#include "windows/remote_tree.h"
#include "windows/text.h"

namespace varnox::windows {

using ftp::NodeState;

QString RemoteCommands::certificateQuestion(const QString& server,
                                            const ftp::Certificate& certificate, bool changed) {
    return (changed ? QStringLiteral("The certificate of %1 has changed since you trusted it.")
                    : QStringLiteral("The certificate of %1 cannot be verified."))
               .arg(server) +
           QStringLiteral(
               "\n\nSubject: %1\nIssuer: %2\nValid from %3 until %4\nSHA-256: %5\n\n"
               "Trust this certificate for this server from now on?")
               .arg(fromBytes(certificate.subject), fromBytes(certificate.issuer),
                    fromBytes(certificate.validFrom), fromBytes(certificate.validUntil),
                    fromBytes(certificate.sha256));
}

void RemoteCommands::inform(const QString& text) {
    parts_.boxes.inform(parts_.window, shortened(text));
}

RemoteCommands::Next RemoteCommands::report(const ftp::CallResult& result, const char* call) {
    if (result.error == ftp::error::kOperationCancelled) {
        return Next::kStop;  // the user's own Cancel needs no report
    }
    // The server's own words: a refused login may say why ("530 Non-anonymous sessions must
    // use encryption."), which the number alone does not.
    if (result.error == ftp::error::kExtendedError ||
        (result.error == ftp::error::kLoginFailure && !result.reply.empty())) {
        inform(fromBytes(ftp::extendedErrorText(call, result.replyCode, result.reply)));
    }
    if (!result.detail.empty()) {
        inform(fromBytes(result.detail));  // a failure on this side, naming its file
    }
    if (parts_.boxes.askYesNo(parts_.window,
                              shortened(fromBytes(ftp::closeQuestionText(call, result.error))))) {
        parts_.closeEverything();
        return Next::kStop;
    }
    return Next::kGoOn;
}

RemoteCommands::Next RemoteCommands::changeTo(const std::string& path) {
    if (path.empty()) {
        inform(QString::fromLatin1(ftp::kNoDirectoryText));
        return Next::kGoOn;
    }
    const std::string directory = ftp::remoteDirectory(path, parts_.serverName());
    const ftp::CallResult result =
        parts_.worker.run({QStringLiteral("Changing to ") + fromBytes(directory)},
                          [&] { return parts_.session.changeDirectory(directory); });
    if (!result.ok()) {
        report(result, "rcd");
        return Next::kStop;  // nothing is done in another folder than the one named
    }
    return Next::kGoOn;
}

RemoteCommands::Next RemoteCommands::listFolder(const std::string& path) {
    listing_ = {};
    if (!path.empty() && changeTo(path) == Next::kStop) {
        return Next::kStop;
    }
    const ftp::CallResult result = parts_.worker.run(
        {QStringLiteral("Listing ") + fromBytes(parts_.session.currentDirectory()), true},
        [&] { return parts_.session.list(listing_); });
    if (!result.ok()) {
        return report(result, "FtpFindFirstFile");
    }
    if (listing_.entries.empty()) {
        inform(QString::fromLatin1(ftp::kEmptyDirectoryText));
    }
    if (listing_.truncated) {
        inform(fromBytes(ftp::truncatedListingText(listing_)));
    }
    return Next::kGoOn;
}

void RemoteCommands::fillTree(const std::string& parentKey) {
    RemoteTree& tree = parts_.tree;
    if (parentKey == parts_.serverName() && listing_.entries.empty()) {
        tree.addRoot(parentKey);  // a root already there stays as it is
        return;
    }
    QTreeWidgetItem* parent = tree.node(parentKey);
    if (parent == nullptr) {
        return;
    }
    std::vector<RemoteTree::NewNode> nodes;
    for (const ftp::TreeRow& row : ftp::treeRows(parentKey, listing_.entries)) {
        nodes.push_back({row.key, row.state, row.link});
    }
    if (QTreeWidgetItem* last = tree.addChildren(parent, nodes)) {
        tree.ensureVisible(last);
    }
}

void RemoteCommands::showServer(const std::string& server) {
    listing_ = {};
    fillTree(server);  // with no entries listed, this adds the root node
    if (listFolder({}) == Next::kStop) {
        return;
    }
    if (!listing_.entries.empty()) {
        fillTree(server);
    }
}

QTreeWidgetItem* RemoteCommands::connectedSelection(const char* noSession,
                                                    const char* noSelection) {
    if (parts_.session.state() != ftp::Session::State::kConnected) {
        inform(QString::fromLatin1(noSession));
        return nullptr;
    }
    QTreeWidgetItem* node = parts_.tree.selectedNode();
    if (node == nullptr) {
        inform(QString::fromLatin1(noSelection));
    }
    return node;
}

void RemoteCommands::openOrCloseSelected() {
    QTreeWidgetItem* node = connectedSelection(ftp::kNoSessionForTreeText, ftp::kNoSelectionText);
    if (node == nullptr) {
        return;
    }
    const NodeState state = RemoteTree::stateOf(node);
    const std::string path = RemoteTree::keyOf(node);
    if (state == NodeState::kClosedFolder && RemoteTree::isLink(node)) {
        // A link is a folder when the server lets us change into it, otherwise a file.
        const std::string directory = ftp::remoteDirectory(path, parts_.serverName());
        if (!parts_.worker
                 .run({QStringLiteral("Changing to ") + fromBytes(directory)},
                      [&] { return parts_.session.changeDirectory(directory); })
                 .ok()) {
            parts_.tree.setState(node, NodeState::kFile);
            return;
        }
    }
    if (state == NodeState::kClosedFolder) {
        parts_.tree.setState(node, NodeState::kOpenFolder);
        if (listFolder(path) == Next::kGoOn) {  // on kStop the node went with the connection
            fillTree(path);
        }
    } else if (state == NodeState::kOpenFolder) {
        parts_.tree.setState(node, NodeState::kClosedFolder);
        parts_.tree.removeChildren(node);
    }
}

void RemoteCommands::get() {
    QTreeWidgetItem* node = connectedSelection(ftp::kNoSessionText, ftp::kSelectGetText);
    if (node == nullptr) {
        return;
    }
    const ftp::NodePathParts remote = ftp::splitNodePath(RemoteTree::keyOf(node));
    const std::optional<std::filesystem::path> target =
        ftp::localTargetPath(parts_.localFiles.folder(), remote.name);
    if (!target) {
        inform(fromBytes(ftp::notPlainNameText(remote.name)));
        return;
    }
    if (changeTo(remote.directory) == Next::kStop) {
        return;
    }
    const ftp::CallResult result = parts_.worker.run(
        {QStringLiteral("Getting ") + fromBytes(remote.name)},
        [&] { return parts_.session.get(remote.name, *target, parts_.transferType()); });
    guarded(parts_.boxes, parts_.window, [this] { parts_.localFiles.refresh(); });
    if (!result.ok()) {
        report(result, "FtpGetFile");
    }
}

void RemoteCommands::put() {
    if (parts_.session.state() != ftp::Session::State::kConnected) {
        return;
    }
    QTreeWidgetItem* node = parts_.tree.selectedNode();
    if (node == nullptr || RemoteTree::stateOf(node) == NodeState::kFile) {
        inform(QString::fromLatin1(ftp::kSelectPutFolderText));
        return;
    }
    const std::string name = parts_.localFiles.fileName();
    if (name.empty()) {
        inform(QString::fromLatin1(ftp::kSelectLocalFileText));
        return;
    }
    const std::string path = RemoteTree::keyOf(node);
    const auto directory = ftp::uploadDirectory(path, parts_.serverName());
    if (!directory) {
        inform(QString::fromLatin1(ftp::kSelectPutFolderText));
        return;
    }
    if (changeTo(*directory) == Next::kStop) {
        return;
    }
    const ftp::CallResult result =
        parts_.worker.run({QStringLiteral("Putting ") + fromBytes(name)}, [&] {
            return parts_.session.put(parts_.localFiles.folder() / name, name,
                                      parts_.transferType());
        });
    if (!result.ok()) {
        report(result, "FtpPutFile");
        return;
    }
    // The node is listed anew, now with the uploaded file.
    parts_.tree.removeChildren(node);
    if (RemoteTree::stateOf(node) == NodeState::kClosedFolder) {
        parts_.tree.setState(node, NodeState::kOpenFolder);
    }
    if (listFolder(path) == Next::kGoOn) {
        fillTree(path);
    }
}

}  // namespace varnox::windows
