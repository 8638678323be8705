#include "windows/image_list.h"

#include <QBitmap>
#include <QFileInfo>
#include <QImage>

#include "platform/failure.h"
#include "windows/text.h"

namespace varnox::windows {

ImageList::ImageList(QObject* parent) : QObject(parent) {}

void ImageList::add(const QString& key, const QString& file) {
    if (!QFileInfo(file).isFile()) {
        throw Failure(failure::kFileNotFound, "File not found: " + toBytes(file));
    }
    QImage image(file);
    if (image.isNull()) {
        throw Failure(failure::kInvalidPicture, "Invalid picture: " + toBytes(file));
    }
    if (size_.isEmpty()) {
        size_ = image.size();
    }
    if (image.size() != size_) {
        image = image.scaled(size_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    QPixmap picture = QPixmap::fromImage(image);
    picture.setMask(picture.createMaskFromColor(maskColour(), Qt::MaskInColor));
    pictures_.insert(key, picture);
}

}  // namespace varnox::windows
