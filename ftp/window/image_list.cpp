#include "ftp/window/image_list.h"

#include <QBitmap>
#include <QFileInfo>
#include <QImage>

#include "platform/failure.h"

namespace varnox::ftpwin {

namespace {

constexpr int kInvalidPicture = 481;

std::string bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace

ImageList::ImageList(QObject* parent) : QObject(parent) {}

void ImageList::add(const QString& key, const QString& file) {
    if (!QFileInfo(file).isFile()) {
        throw Failure(failure::kFileNotFound, "File not found: " + bytes(file));
    }
    QImage image(file);
    if (image.isNull()) {
        throw Failure(kInvalidPicture, "Invalid picture: " + bytes(file));
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

}  // namespace varnox::ftpwin
