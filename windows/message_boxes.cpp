#include "windows/message_boxes.h"

#include <QMessageBox>

#include "windows/text.h"

namespace varnox::windows {

void QtMessageBoxes::inform(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtMessageBoxes::askYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void reportFailure(platform::MessageBoxes& boxes, QWidget* parent, const Failure& failure) {
    // Its number and its description.
    const QString text =
        QStringLiteral("Error %1: %2").arg(failure.number()).arg(fromBytes(failure.what()));
    boxes.inform(parent, shortened(text));
}

}  // namespace varnox::windows
