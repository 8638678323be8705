#include "windows/layout.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace varnox::windows {

void placeInTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(QRect(pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(width),
                              pixelsFromTwips(height)));
}

QFont classicFont(double pointSize) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void installFontSubstitutes() {
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
         QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
}

void clickOnEnterWhenFocused(QAbstractButton* button) {
    if (auto* push = qobject_cast<QPushButton*>(button)) {
        // Outside dialogs an auto-default button takes Enter only while it has the focus,
        // and there is no default button that Enter would reach from other controls.
        push->setAutoDefault(true);
        push->setDefault(false);
    }
}

void setUpWindow(QWidget* window, const char* name, const char* caption, const QFont& font,
                 int width, int height) {
    window->setObjectName(QString::fromLatin1(name));
    window->setWindowTitle(QString::fromLatin1(caption));
    window->setFont(font);
    window->resize(pixelsFromTwips(width), pixelsFromTwips(height));  // the client area
}

void centreWindow(QWidget* window, QWidget* owner) {
    QRect area;
    if (owner != nullptr && owner->isVisible()) {
        area = owner->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    } else {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

}  // namespace varnox::windows
