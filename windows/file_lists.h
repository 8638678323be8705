#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/drives.h"
#include "platform/failure.h"

// The drive, folder and file lists of the windows that browse files. Paths and names are
// held as the bytes the file system gives; they become text only to be shown.
namespace varnox::windows {

// The drive list: one entry per drive of the drive table ("c: [/]").
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(platform::DriveTable& drives, QWidget* parent = nullptr);

    // The entry of the drive shown.
    std::string drive() const;
    // Shows the drive an entry names ("c:", "D:", "e: [/media/usb]"). Throws varnox::Failure
    // when no drive has that letter. Raises driveChanged before returning when the drive
    // shown changes.
    void setDrive(std::string_view entry);
    // Reads the drive table again; the drive shown stays.
    void refresh();

signals:
    // The drive shown changed, by the user or by code.
    void driveChanged();

private:
    void fill();
    void onIndexChanged(int index);

    platform::DriveTable& drives_;
    char shown_ = 0;
    bool filling_ = false;
};

// The folder list: the folders on the path to the current folder, the current folder open,
// and its sub-folders. A click selects a folder; a double-click or Enter opens it, which makes
// it the current folder.
class FolderList : public QTreeWidget {
    Q_OBJECT
public:
    explicit FolderList(platform::DriveTable& drives, QWidget* parent = nullptr);

    // The current folder, without a trailing "/" (except the file system root "/").
    const std::filesystem::path& folder() const { return folder_; }
    // Makes `folderOrDrive` the current folder. It is an absolute folder, or a drive entry
    // ("c:", "d: [/media/usb]"), which stands for that drive's current folder. Throws
    // varnox::Failure, and changes nothing, when the drive is unknown or not ready or the
    // folder is missing or cannot be read. Raises folderChanged before returning when the
    // current folder changes.
    void setFolder(const std::filesystem::path& folderOrDrive);
    // Reads the current folder's sub-folders again.
    void refresh();

signals:
    void folderChanged();
    // Opening a folder chosen by the user failed (it vanished, or cannot be read).
    void openFailed(const varnox::Failure& failure);

protected:
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;
    // Once laid out, scrolls sideways so that the current folder starts at the left edge.
    void updateGeometries() override;

private:
    void show(const std::filesystem::path& folder, const std::vector<std::string>& subFolders);
    void onActivated(QTreeWidgetItem* item);

    platform::DriveTable& drives_;
    std::filesystem::path folder_;
    int sidewaysOffset_ = 0;  // where the current folder's row starts, in pixels
};

// The file list: the ordinary, non-hidden files of one folder, sorted by name. A file is
// chosen by a click, or from the keyboard by the arrow keys or Space on the current row;
// the focus arriving in the list chooses nothing.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    const std::filesystem::path& folder() const { return folder_; }
    // Lists `folder`; no file is chosen afterwards. Throws varnox::Failure, and changes
    // nothing, when the folder cannot be read.
    void setFolder(const std::filesystem::path& folder);
    // Reads the folder again; the chosen file stays chosen while it exists.
    void refresh();
    // The chosen file's name, or empty.
    std::string fileName() const;

signals:
    // A file was chosen, or the chosen one clicked again.
    void fileClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void fill(const std::vector<std::string>& names, const std::string& keep);
    void onSelectionChanged();
    void onItemClicked();

    std::filesystem::path folder_;
    bool filling_ = false;
    bool pressChangedSelection_ = false;
};

// The drive-list change of the browsing windows: `folders` moves to the drive `drives` shows.
// A drive that cannot be read sends both lists to drive c: instead, without a message, and
// the result is false. When drive c: itself cannot be read, its failure is thrown.
bool followDrive(DriveList& drives, FolderList& folders);

}  // namespace varnox::windows
