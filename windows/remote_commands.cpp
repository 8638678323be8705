#include "windows/remote_commands.h"

#include <QTreeWidgetItem>

#include "ftp/errors.h"
#include "ftp/names.h"
#include "ftp/tree_keys.h"
#include "windows/file_lists.h"
#include "windows/message_boxes.h"
#include "windows/remote_tree.h"
#include "windows/text.h"

namespace varnox::windows {

namespace {

const QString kRoot = QStringLiteral("root");
const QString kOpen = QStringLiteral("open");
const QString kClosed = QStringLiteral("closed");
const QString kLeaf = QStringLiteral("leaf");

}  // namespace

QString RemoteCommands::truncatedListingText() {
    return QStringLiteral("This directory holds more than %1 entries; only the first %1 are shown.")
        .arg(ftp::kMaxListedEntries);
}

QString RemoteCommands::notPlainNameText(const QString& name) {
    return QStringLiteral(
               "\"%1\" is not a plain file name, so it cannot be downloaded into a local folder.")
        .arg(name);
}

void RemoteCommands::inform(const QString& text) {
    parts_.boxes.inform(parts_.window, text);
}

RemoteCommands::Next RemoteCommands::report(const ftp::CallResult& result, const char* call) {
    if (result.error == ftp::error::kExtendedError) {
        inform(fromBytes(ftp::extendedErrorText(call, result.replyCode, result.reply)));
    }
    if (parts_.boxes.askYesNo(parts_.window,
                              fromBytes(ftp::closeQuestionText(call, result.error)))) {
        parts_.closeEverything();
        return Next::kStop;
    }
    return Next::kGoOn;
}

RemoteCommands::Next RemoteCommands::changeTo(const QString& path) {
    if (path.isEmpty()) {
        inform(QString::fromLatin1(kNoDirectoryText));
        return Next::kGoOn;
    }
    const std::string directory = ftp::remoteDirectory(toBytes(path), toBytes(parts_.serverName()));
    const ftp::CallResult result = parts_.session.changeDirectory(directory);
    return result.ok() ? Next::kGoOn : report(result, "rcd");
}

RemoteCommands::Next RemoteCommands::listFolder(const QString& path) {
    listing_ = {};
    if (!path.isEmpty() && changeTo(path) == Next::kStop) {
        return Next::kStop;
    }
    const ftp::CallResult result = parts_.session.list(listing_);
    if (!result.ok()) {
        return report(result, "FtpFindFirstFile");
    }
    if (listing_.entries.empty()) {
        inform(QString::fromLatin1(kEmptyDirectoryText));
    }
    if (listing_.truncated) {
        inform(truncatedListingText());
    }
    return Next::kGoOn;
}

void RemoteCommands::fillTree(const QString& parentKey) {
    RemoteTree& tree = parts_.tree;
    if (parentKey == parts_.serverName() && listing_.entries.empty()) {
        tree.addRoot(parentKey, kRoot);  // a root already there stays as it is
        return;
    }
    QTreeWidgetItem* parent = tree.node(parentKey);
    if (parent == nullptr) {
        return;
    }
    std::vector<RemoteTree::NewNode> nodes;
    for (const ftp::TreeRow& row : ftp::treeRows(toBytes(parentKey), listing_.entries)) {
        nodes.push_back({fromBytes(row.key), row.directory ? kClosed : kLeaf});
    }
    if (QTreeWidgetItem* last = tree.addChildren(parent, nodes)) {
        tree.ensureVisible(last);
    }
}

void RemoteCommands::showServer(const QString& server) {
    listing_ = {};
    fillTree(server);  // with no entries listed, this adds the root node
    if (listFolder(QString()) == Next::kStop) {
        return;
    }
    if (!listing_.entries.empty()) {
        fillTree(server);
    }
}

void RemoteCommands::openOrCloseSelected() {
    if (parts_.session.state() != ftp::Session::State::kConnected) {
        inform(QString::fromLatin1(kNoSessionForTreeText));
        return;
    }
    QTreeWidgetItem* node = parts_.tree.selectedNode();
    if (node == nullptr) {
        inform(QString::fromLatin1(kNoSelectionText));
        return;
    }
    const QString image = RemoteTree::imageOf(node);
    const QString path = node->text(0);
    if (image == kClosed) {
        parts_.tree.setImage(node, kOpen);
        if (listFolder(path) == Next::kGoOn) {  // on kStop the node went with the connection
            fillTree(path);
        }
    } else if (image == kOpen) {
        parts_.tree.setImage(node, kClosed);
        parts_.tree.removeChildren(node);
    }
}

void RemoteCommands::get() {
    if (parts_.session.state() != ftp::Session::State::kConnected) {
        inform(QString::fromLatin1(kNoSessionText));
        return;
    }
    QTreeWidgetItem* node = parts_.tree.selectedNode();
    if (node == nullptr) {
        inform(QString::fromLatin1(kSelectGetText));
        return;
    }
    const ftp::NodePathParts remote = ftp::splitNodePath(toBytes(node->text(0)));
    if (!ftp::isPlainRemoteName(remote.name)) {
        inform(notPlainNameText(fromBytes(remote.name)));
        return;
    }
    if (changeTo(fromBytes(remote.directory)) == Next::kStop) {
        return;
    }
    const ftp::CallResult result = parts_.session.get(
        remote.name, toPath(parts_.localFiles.path()) / remote.name, parts_.transferType());
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
    if (node == nullptr || RemoteTree::imageOf(node) == kLeaf) {
        inform(QString::fromLatin1(kSelectPutFolderText));
        return;
    }
    const QString name = parts_.localFiles.fileName();
    if (name.isEmpty()) {
        inform(QString::fromLatin1(kSelectLocalFileText));
        return;
    }
    const QString path = node->text(0);
    const auto directory = ftp::uploadDirectory(toBytes(path), toBytes(parts_.serverName()));
    if (!directory) {
        inform(QString::fromLatin1(kSelectPutFolderText));
        return;
    }
    if (changeTo(fromBytes(*directory)) == Next::kStop) {
        return;
    }
    const ftp::CallResult result = parts_.session.put(
        toPath(parts_.localFiles.path()) / toBytes(name), toBytes(name), parts_.transferType());
    if (!result.ok()) {
        report(result, "FtpPutFile");
        return;
    }
    // The node is listed anew, now with the uploaded file.
    parts_.tree.removeChildren(node);
    if (RemoteTree::imageOf(node) == kClosed) {
        parts_.tree.setImage(node, kOpen);
    }
    if (listFolder(path) == Next::kGoOn) {
        fillTree(path);
    }
}

}  // namespace varnox::windows
