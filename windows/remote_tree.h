#pragma once

#include <QHash>
#include <QString>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "ftp/tree_keys.h"

namespace varnox::windows {

class ImageList;

// The FTP window's tree of remote folders and files. Every node has a key that is unique
// in the tree (the remote path as the server's bytes, shown as its text) and a state
// (ftp::NodeState), drawn as the picture of that state from the image list.
//
// The user cannot expand or collapse nodes: there are no expand marks, and neither the
// mouse nor the keyboard opens or closes a node; the program shows children by making a
// node visible. A double-click anywhere in the tree, on a node or on empty space, raises
// treeDoubleClicked() and nothing else; the handler works on the selected node.
class RemoteTree : public QTreeWidget {
    Q_OBJECT
public:
    struct NewNode {
        std::string key;
        ftp::NodeState state = ftp::NodeState::kFile;
        bool link = false;  // a symbolic link on the server
    };

    explicit RemoteTree(QWidget* parent = nullptr);

    // The pictures to draw beside the nodes; their size becomes the tree's icon size.
    void setImageList(const ImageList* images);

    // Adds a root node in the first position. Null, and nothing added, when the key is
    // already in the tree.
    QTreeWidgetItem* addRoot(const std::string& key);
    // Adds nodes as the last children of parent, in order, each with its key as its text.
    // A node whose key is already in the tree (or earlier in nodes) is skipped. Returns the
    // last node added, or null when none was.
    QTreeWidgetItem* addChildren(QTreeWidgetItem* parent, const std::vector<NewNode>& nodes);

    // The node with that key, or null.
    QTreeWidgetItem* node(const std::string& key) const {
        return nodes_.value(QByteArray::fromStdString(key));
    }
    static std::string keyOf(const QTreeWidgetItem* node);
    static bool isLink(const QTreeWidgetItem* node);
    static ftp::NodeState stateOf(const QTreeWidgetItem* node);
    void setState(QTreeWidgetItem* node, ftp::NodeState state);

    // Removes a node with everything below it.
    void removeNode(QTreeWidgetItem* node);
    // Removes every child of a node, with everything below them, one after the other.
    void removeChildren(QTreeWidgetItem* node);

    // The selected node, or null.
    QTreeWidgetItem* selectedNode() const;
    // Opens the node's ancestors and scrolls the node into view.
    void ensureVisible(QTreeWidgetItem* node);
    // How many nodes the tree holds.
    int nodeCount() const { return static_cast<int>(nodes_.size()); }

signals:
    void treeDoubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;

private:
    QTreeWidgetItem* makeNode(const std::string& key, ftp::NodeState state);
    void forget(QTreeWidgetItem* node);

    const ImageList* images_ = nullptr;
    QHash<QByteArray, QTreeWidgetItem*> nodes_;
};

}  // namespace varnox::windows
