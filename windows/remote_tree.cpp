#include "windows/remote_tree.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

#include "windows/image_list.h"
#include "windows/text.h"

namespace varnox::windows {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kStateRole = Qt::UserRole + 1;
constexpr int kLinkRole = Qt::UserRole + 2;

}  // namespace

RemoteTree::RemoteTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIndentation(19);
    // Long paths scroll sideways rather than being cut short.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setTextElideMode(Qt::ElideNone);
    setAccessibleName(QStringLiteral("Remote folders"));
}

void RemoteTree::setImageList(const ImageList* images) {
    images_ = images;
    if (images_ != nullptr && !images_->pictureSize().isEmpty()) {
        setIconSize(images_->pictureSize());
    }
}

QTreeWidgetItem* RemoteTree::makeNode(const std::string& key, ftp::NodeState state) {
    auto* item = new QTreeWidgetItem(QStringList{fromBytes(key)});
    item->setData(0, kKeyRole, QByteArray::fromStdString(key));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    nodes_.insert(QByteArray::fromStdString(key), item);
    setState(item, state);
    return item;
}

QTreeWidgetItem* RemoteTree::addRoot(const std::string& key) {
    if (nodes_.contains(QByteArray::fromStdString(key))) {
        return nullptr;
    }
    QTreeWidgetItem* item = makeNode(key, ftp::NodeState::kRoot);
    insertTopLevelItem(0, item);
    return item;
}

QTreeWidgetItem* RemoteTree::addChildren(QTreeWidgetItem* parent,
                                         const std::vector<NewNode>& nodes) {
    QList<QTreeWidgetItem*> added;
    for (const NewNode& n : nodes) {
        if (!nodes_.contains(QByteArray::fromStdString(n.key))) {
            added.append(makeNode(n.key, n.state));
            added.back()->setData(0, kLinkRole, n.link);
        }
    }
    // One insertion for the lot: a listing can bring tens of thousands of entries.
    parent->addChildren(added);
    return added.isEmpty() ? nullptr : added.back();
}

bool RemoteTree::isLink(const QTreeWidgetItem* node) {
    return node->data(0, kLinkRole).toBool();
}

std::string RemoteTree::keyOf(const QTreeWidgetItem* node) {
    return node->data(0, kKeyRole).toByteArray().toStdString();
}

ftp::NodeState RemoteTree::stateOf(const QTreeWidgetItem* node) {
    return static_cast<ftp::NodeState>(node->data(0, kStateRole).toInt());
}

void RemoteTree::setState(QTreeWidgetItem* node, ftp::NodeState state) {
    node->setData(0, kStateRole, static_cast<int>(state));
    const QString key = QString::fromLatin1(ftp::pictureKey(state));
    QPixmap picture = images_ != nullptr ? images_->picture(key) : QPixmap();
    node->setIcon(0, picture.isNull() ? QIcon() : QIcon(picture));
}

void RemoteTree::forget(QTreeWidgetItem* node) {
    for (int i = 0; i < node->childCount(); ++i) {
        forget(node->child(i));
    }
    nodes_.remove(node->data(0, kKeyRole).toByteArray());
}

void RemoteTree::removeNode(QTreeWidgetItem* node) {
    forget(node);
    delete node;  // takes it out of the tree, with its children
}

void RemoteTree::removeChildren(QTreeWidgetItem* node) {
    while (node->childCount() > 0) {
        QTreeWidgetItem* child = node->child(0);
        forget(child);
        delete child;
    }
}

QTreeWidgetItem* RemoteTree::selectedNode() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void RemoteTree::ensureVisible(QTreeWidgetItem* node) {
    for (QTreeWidgetItem* p = node->parent(); p != nullptr; p = p->parent()) {
        p->setExpanded(true);
    }
    scrollToItem(node);
}

void RemoteTree::mousePressEvent(QMouseEvent* event) {
    if (itemAt(event->position().toPoint()) == nullptr) {
        // A click on empty space keeps the selected node selected.
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void RemoteTree::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of the pair has selected what it hit; the double-click itself
    // neither opens nor edits anything here.
    event->accept();
    emit treeDoubleClicked();
}

void RemoteTree::drawBranches(QPainter* painter, const QRect& rect,
                              const QModelIndex& index) const {
    // Dotted lines join each node to its parent; there are no expand or collapse marks.
    std::vector<QModelIndex> chain;  // the node and its ancestors below the top level
    for (QModelIndex i = index; i.parent().isValid(); i = i.parent()) {
        chain.push_back(i);
    }
    if (chain.empty()) {
        return;
    }
    const int step = indentation();
    const int midY = rect.top() + rect.height() / 2;
    painter->save();
    painter->setPen(QPen(palette().color(QPalette::Dark), 1, Qt::DotLine));
    int columnRight = rect.right() + 1;
    for (std::size_t level = 0; level < chain.size(); ++level) {
        const QModelIndex& node = chain[level];
        int x = columnRight - step + step / 2;
        bool hasNext = node.sibling(node.row() + 1, 0).isValid();
        if (level == 0) {
            painter->drawLine(x, rect.top(), x, hasNext ? rect.bottom() : midY);
            painter->drawLine(x, midY, columnRight - 1, midY);
        } else if (hasNext) {
            painter->drawLine(x, rect.top(), x, rect.bottom());
        }
        columnRight -= step;
    }
    painter->restore();
}

}  // namespace varnox::windows
