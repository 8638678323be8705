#pragma once

#include <QFont>
#include <QRect>

class QWidget;
class QAbstractButton;

namespace varnox::windows {

// Layout measures of the program's windows are kept in twips (15 to the pixel at 96 dots
// per inch), as the windows were first drawn.
constexpr int pixelsFromTwips(int twips) {
    return (twips + 7) / 15;
}
void placeInTwips(QWidget* widget, int left, int top, int width, int height);

// The windows' font, "MS Sans Serif" at the given size; where that font is missing the
// application's substitution (set at start-up) picks a similar sans-serif face.
QFont classicFont(double pointSize = 8.25);
// Maps "MS Sans Serif" to an installed sans-serif face. Called once at start-up.
void installFontSubstitutes();

// Buttons answer Enter and Space when they have the focus, and only then.
void clickOnEnterWhenFocused(QAbstractButton* button);

// The frame of the program's windows: a caption and a close box; `buttons` adds the
// minimize and maximize boxes it names.
constexpr Qt::WindowFlags kWindowFrame = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;
// Names a window, gives it its caption and font, and sizes its client area from twips.
void setUpWindow(QWidget* window, const char* name, const char* caption, const QFont& font,
                 int width, int height);

// Centres a window on the screen, or on `owner` when given.
void centreWindow(QWidget* window, QWidget* owner = nullptr);

}  // namespace varnox::windows
