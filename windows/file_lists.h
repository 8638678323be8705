#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QTreeWidget>
#include <filesystem>

#include "platform/drives.h"

namespace varnox::windows {

// The drive list: one entry per drive of the drive table ("c: [/]").
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(platform::DriveTable& drives, QWidget* parent = nullptr);

    // The entry of the drive shown.
    QString drive() const;
    // Shows the drive an entry names ("c:", "D:", "e: [/media/usb]"). Throws varnox::Failure
    // when no drive has that letter. Raises driveChanged before returning when the drive
    // shown changes.
    void setDrive(const QString& entry);
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
    QString path() const;
    // Makes `pathOrDrive` the current folder. It is an absolute folder, or a drive entry
    // ("c:", "d: [/media/usb]"), which stands for that drive's current folder. Throws
    // varnox::Failure, and changes nothing, when the drive is unknown or not ready or the
    // folder is missing or cannot be read. Raises pathChanged before returning when the
    // current folder changes.
    void setPath(const QString& pathOrDrive);
    // Reads the current folder's sub-folders again.
    void refresh();

signals:
    void pathChanged();
    // Opening a folder chosen by the user failed (it vanished, or cannot be read).
    void openFailed(int number, const QString& description);

protected:
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;

private:
    void show(const std::filesystem::path& folder, const std::vector<std::string>& subFolders);
    void onActivated(QTreeWidgetItem* item);

    platform::DriveTable& drives_;
    std::filesystem::path path_;
};

// The file list: the ordinary, non-hidden files of one folder, sorted by name.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    // The folder listed.
    QString path() const;
    // Lists `folder`; no file is selected afterwards. Throws varnox::Failure, and changes
    // nothing, when the folder cannot be read.
    void setPath(const QString& folder);
    // Reads the folder again; the selected file stays selected while it exists.
    void refresh();
    // The selected file's name, or empty text.
    QString fileName() const;
    // The list's name filter; every file matches.
    QString pattern() const { return QStringLiteral("*.*"); }

signals:
    // A file was chosen: by a click, by the keyboard, or by code selecting a row.
    void fileClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void fill(const std::vector<std::string>& names, const QString& keep);
    void onCurrentRowChanged(int row);
    void onItemClicked();

    std::filesystem::path path_;
    bool filling_ = false;
    bool pressChangedRow_ = false;
};

// The drive-list change of the browsing windows: `folders` moves to the drive `drives` shows.
// A drive that cannot be read sends both lists to drive c: instead, without a message, and
// the result is false. When drive c: itself cannot be read, its failure is thrown.
bool followDrive(DriveList& drives, FolderList& folders);

}  // namespace varnox::windows
