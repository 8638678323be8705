#pragma once

#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace varnox::widgets {

// The controls of the program's windows, each created with its object name and placed in
// twips.

// A button that Enter and Space click only while it has the focus.
QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption, int left,
                           int top, int width, int height);
QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height);
// A text box that shows one "*" per character typed; its text is what was typed.
QLineEdit* passwordBox(QWidget* parent, const char* name, int left, int top, int width, int height);
QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height);
QRadioButton* optionButton(QWidget* parent, const char* name, const QString& caption, int left,
                           int top, int width, int height);

enum class Wrap { Words, None };
// A plain label: no border, left-aligned, opaque, plain text, no automatic sizing.
QLabel* plainLabel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                   int width, int height, Wrap wrap = Wrap::Words);

}  // namespace varnox::widgets
