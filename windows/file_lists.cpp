#include "windows/file_lists.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

#include "platform/failure.h"
#include "platform/files.h"
#include "windows/text.h"

namespace varnox::windows {

namespace {

namespace fs = std::filesystem;

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

// ---- DriveList ----------------------------------------------------------------------------

DriveList::DriveList(platform::DriveTable& drives, QWidget* parent)
    : QComboBox(parent), drives_(drives) {
    setEditable(false);
    setAccessibleName(QStringLiteral("Drive"));
    auto letter = drives_.driveOf(platform::currentFolder());
    shown_ = letter ? *letter : (drives_.drives().empty() ? 'c' : drives_.drives().front().letter);
    fill();
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::onIndexChanged);
}

void DriveList::fill() {
    filling_ = true;
    clear();
    int index = -1;
    for (const auto& d : drives_.drives()) {
        if (d.letter == shown_) {
            index = count();
        }
        addItem(fromBytes(platform::DriveTable::entryText(d)), QChar(d.letter));
    }
    setCurrentIndex(index);
    filling_ = false;
}

std::string DriveList::drive() const {
    const platform::Drive* d = drives_.find(shown_);
    return d ? platform::DriveTable::entryText(*d) : std::string(1, shown_) + ":";
}

void DriveList::setDrive(std::string_view entry) {
    auto letter = platform::DriveTable::letterOf(entry);
    if (!letter || drives_.find(*letter) == nullptr) {
        throw Failure(failure::kDeviceUnavailable,
                      "Device unavailable: drive " + std::string(entry));
    }
    int index = findData(QChar(*letter));
    if (index < 0) {  // the table changed since the list was filled
        fill();
        index = findData(QChar(*letter));
    }
    setCurrentIndex(index);  // raises driveChanged through onIndexChanged when it changes
}

void DriveList::refresh() {
    fill();
}

void DriveList::onIndexChanged(int index) {
    if (filling_ || index < 0) {
        return;
    }
    char letter = itemData(index).toChar().toLatin1();
    if (letter == shown_) {
        return;
    }
    shown_ = letter;
    emit driveChanged();
}

// ---- FolderList ---------------------------------------------------------------------------

FolderList::FolderList(platform::DriveTable& drives, QWidget* parent)
    : QTreeWidget(parent), drives_(drives) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setIndentation(10);
    // Deep folders in a narrow list: names are shown whole and the list scrolls sideways to
    // the current folder, rather than cutting every name down to "...".
    setTextElideMode(Qt::ElideNone);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setAccessibleName(QStringLiteral("Folders"));
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { onActivated(item); });
    const fs::path start = platform::currentFolder();
    try {
        show(start, platform::listFolders(start));
        folder_ = start;
        drives_.rememberFolder(folder_);
    } catch (const Failure&) {
        folder_ = "/";
        show(folder_, {});
    }
}

void FolderList::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {
    // Folders open by a double-click only: no expand and collapse marks.
}

void FolderList::updateGeometries() {
    QTreeWidget::updateGeometries();
    horizontalScrollBar()->setValue(sidewaysOffset_);
}

void FolderList::setFolder(const fs::path& folderOrDrive) {
    const std::string& text = folderOrDrive.native();
    fs::path folder;
    if (auto letter = platform::DriveTable::letterOf(text)) {
        const platform::Drive* d = drives_.find(*letter);
        if (d == nullptr) {
            throw Failure(failure::kDeviceUnavailable, "Device unavailable: drive " + text);
        }
        if (!drives_.isReady(*letter)) {
            throw Failure(failure::kDeviceUnavailable, "Device unavailable: drive " +
                                                           std::string(1, *letter) + ": (" +
                                                           d->root.string() + ") is not ready");
        }
        folder = drives_.currentFolder(*letter);
        if (!platform::folderExists(folder)) {
            folder = d->root;
        }
    } else {
        folder = withoutTrailingSlashes(text);
        if (folder.empty() || !folder.is_absolute() || !platform::folderExists(folder)) {
            throw Failure(failure::kPathNotFound, "Path not found: " + text);
        }
    }
    auto subFolders = platform::listFolders(folder);  // throws when it cannot be read
    const bool changed = folder != folder_;
    folder_ = folder;
    drives_.rememberFolder(folder_);
    show(folder_, subFolders);
    if (changed) {
        emit folderChanged();
    }
}

void FolderList::refresh() {
    show(folder_, platform::listFolders(folder_));
}

void FolderList::show(const fs::path& folder, const std::vector<std::string>& subFolders) {
    clear();
    QStyle* style = QApplication::style();
    QIcon closed = style->standardIcon(QStyle::SP_DirClosedIcon);
    QIcon open = style->standardIcon(QStyle::SP_DirOpenIcon);

    // The chain from the drive's root (or the file system root) down to the folder.
    fs::path root = "/";
    if (auto letter = drives_.driveOf(folder)) {
        root = drives_.find(*letter)->root;
    }
    std::vector<fs::path> chain;
    for (fs::path p = folder;; p = p.parent_path()) {
        chain.insert(chain.begin(), p);
        if (p == root || p == p.root_path()) {
            break;
        }
    }
    QTreeWidgetItem* parent = nullptr;
    for (const auto& p : chain) {
        QString text = fromPath(p == chain.front() ? p : p.filename());
        auto* item =
            parent ? new QTreeWidgetItem(parent, {text}) : new QTreeWidgetItem(this, {text});
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(p.native()));
        item->setToolTip(0, fromPath(p));  // narrow lists cut long names short
        item->setIcon(0, open);
        parent = item;
    }
    QTreeWidgetItem* current = parent;
    for (const auto& name : subFolders) {
        auto* item = new QTreeWidgetItem(current, {fromBytes(name)});
        item->setData(0, Qt::UserRole, QByteArray::fromStdString((folder / name).native()));
        item->setToolTip(0, fromPath(folder / name));
        item->setIcon(0, closed);
    }
    expandAll();
    setCurrentItem(current);
    scrollToTop();
    scrollToItem(current);
    sidewaysOffset_ = indentation() * static_cast<int>(chain.size() - 1);
    updateGeometries();
}

void FolderList::onActivated(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const fs::path target = item->data(0, Qt::UserRole).toByteArray().toStdString();
    try {
        setFolder(target);
    } catch (const Failure& failure) {
        emit openFailed(failure);
    }
}

// ---- FileList -----------------------------------------------------------------------------

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAccessibleName(QStringLiteral("Files"));
    // Choosing goes by the selection: the focus arriving in the list makes its first row
    // current without selecting it, and that chooses nothing.
    connect(this, &QListWidget::itemSelectionChanged, this, &FileList::onSelectionChanged);
    connect(this, &QListWidget::itemClicked, this, [this] { onItemClicked(); });
    folder_ = platform::currentFolder();
    try {
        fill(platform::listFiles(folder_), {});
    } catch (const Failure&) {
    }
}

void FileList::setFolder(const fs::path& folder) {
    const fs::path target = withoutTrailingSlashes(folder.native());
    auto names = platform::listFiles(target);
    folder_ = target;
    fill(names, {});
}

void FileList::refresh() {
    fill(platform::listFiles(folder_), fileName());
}

std::string FileList::fileName() const {
    const QList<QListWidgetItem*> chosen = selectedItems();
    return chosen.isEmpty() ? std::string()
                            : chosen.front()->data(Qt::UserRole).toByteArray().toStdString();
}

void FileList::fill(const std::vector<std::string>& names, const std::string& keep) {
    filling_ = true;
    clear();
    for (const auto& name : names) {
        auto* item = new QListWidgetItem(fromBytes(name), this);
        item->setData(Qt::UserRole, QByteArray::fromStdString(name));
        if (name == keep) {
            setCurrentItem(item);
        }
    }
    if (keep.empty()) {
        setCurrentRow(-1);
    }
    filling_ = false;
}

void FileList::onSelectionChanged() {
    if (!filling_ && !selectedItems().isEmpty()) {
        emit fileClicked();
    }
}

void FileList::mousePressEvent(QMouseEvent* event) {
    const std::string before = fileName();
    QListWidget::mousePressEvent(event);
    pressChangedSelection_ = fileName() != before;
}

void FileList::onItemClicked() {
    // A click that chose a new file has already been reported by the selection; a click on
    // the file chosen before is a click of its own.
    if (pressChangedSelection_) {
        pressChangedSelection_ = false;
        return;
    }
    emit fileClicked();
}

// ---- The drive-list change ----------------------------------------------------------------

bool followDrive(DriveList& drives, FolderList& folders) {
    try {
        folders.setFolder(drives.drive());
        return true;
    } catch (const Failure&) {
        // Setting drive c: raises the change again, for drive c:; the folder list is then
        // set once more to the same place.
        drives.setDrive("c:");
        folders.setFolder(drives.drive());
        return false;
    }
}

}  // namespace varnox::windows
