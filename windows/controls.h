#pragma once

#include <QString>
#include <initializer_list>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace varnox::windows {

// The controls of the program's windows, each created with its object name and placed in
// twips.

// Gives a control its object name and places it.
void place(QWidget* control, const char* name, int left, int top, int width, int height);

// Creates a control of type T from `arguments` and its parent, names and places it.
template <typename T, typename... Arguments>
T* placed(QWidget* parent, const char* name, int left, int top, int width, int height,
          Arguments&... arguments) {
    auto* control = new T(arguments..., parent);
    place(control, name, left, top, width, height);
    return control;
}

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

// Sets the order in which Tab moves the focus through `controls`, and gives the first one
// the focus.
void setFocusOrder(std::initializer_list<QWidget*> controls);

enum class Wrap { Words, None };
// A plain label: no border, left-aligned, opaque, plain text, no automatic sizing.
QLabel* plainLabel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                   int width, int height, Wrap wrap = Wrap::Words);

}  // namespace varnox::windows
