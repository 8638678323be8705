#include "windows/controls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "windows/layout.h"

namespace varnox::windows {

namespace {

template <typename Control>
Control* placed(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromLatin1(name));
    placeInTwips(control, left, top, width, height);
    return control;
}

}  // namespace

void place(QWidget* control, const char* name, int left, int top, int width, int height) {
    placed(control, name, left, top, width, height);
}

QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption, int left,
                           int top, int width, int height) {
    auto* button = placed(new QPushButton(caption, parent), name, left, top, width, height);
    clickOnEnterWhenFocused(button);
    return button;
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height) {
    return placed(new QLineEdit(parent), name, left, top, width, height);
}

QLineEdit* passwordBox(QWidget* parent, const char* name, int left, int top, int width,
                       int height) {
    QLineEdit* box = textBox(parent, name, left, top, width, height);
    box->setEchoMode(QLineEdit::Password);
    // One "*" per character typed, whatever the style would draw.
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    return box;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, int left, int top,
                    int width, int height) {
    return placed(new QCheckBox(caption, parent), name, left, top, width, height);
}

QRadioButton* optionButton(QWidget* parent, const char* name, const QString& caption, int left,
                           int top, int width, int height) {
    return placed(new QRadioButton(caption, parent), name, left, top, width, height);
}

void setFocusOrder(std::initializer_list<QWidget*> controls) {
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, control);
        }
        previous = control;
    }
    if (controls.size() > 0) {
        (*controls.begin())->setFocus();
    }
}

QLabel* plainLabel(QWidget* parent, const char* name, const QString& caption, int left, int top,
                   int width, int height, Wrap wrap) {
    auto* label = placed(new QLabel(caption, parent), name, left, top, width, height);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(wrap == Wrap::Words);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAutoFillBackground(true);
    return label;
}

}  // namespace varnox::windows
