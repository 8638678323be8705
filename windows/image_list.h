#pragma once

#include <QColor>
#include <QMap>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace varnox::windows {

// A list of pictures kept by key for a tree to draw beside its nodes; it is never shown
// itself. Pictures are loaded from bitmap files, with the mask colour made transparent.
class ImageList : public QObject {
    Q_OBJECT
public:
    // Light grey, the background of the tree pictures.
    static QColor maskColour() { return QColor(192, 192, 192); }

    explicit ImageList(QObject* parent = nullptr);

    // Loads a picture file and keeps it under key. Throws varnox::Failure naming the file:
    // 53 when it does not exist, 481 when it holds no picture Qt can read.
    void add(const QString& key, const QString& file);

    bool contains(const QString& key) const { return pictures_.contains(key); }
    // The picture kept under key, or a null picture.
    QPixmap picture(const QString& key) const { return pictures_.value(key); }
    // The size of every picture: that of the first one added (empty before).
    QSize pictureSize() const { return size_; }
    int count() const { return static_cast<int>(pictures_.size()); }

private:
    QMap<QString, QPixmap> pictures_;
    QSize size_;
};

}  // namespace varnox::windows
