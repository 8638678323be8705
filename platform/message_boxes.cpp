#include "platform/message_boxes.h"

#include <QMessageBox>

#include "platform/failure.h"

namespace varnox::platform {

void QtMessageBoxes::inform(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtMessageBoxes::askYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void ScriptedMessageBoxes::inform(QWidget*, const QString& text) {
    shown_.push_back({text, false});
}

bool ScriptedMessageBoxes::askYesNo(QWidget*, const QString& text) {
    shown_.push_back({text, true});
    if (answers_.empty()) {
        return true;
    }
    bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

std::vector<QString> ScriptedMessageBoxes::texts() const {
    std::vector<QString> texts;
    for (const auto& s : shown_) {
        texts.push_back(s.text);
    }
    return texts;
}

QString failureText(const Failure& failure) {
    return QStringLiteral("Error %1: %2")
        .arg(failure.number())
        .arg(QString::fromLocal8Bit(failure.what()));
}

void reportFailure(MessageBoxes& boxes, QWidget* parent, const Failure& failure) {
    boxes.inform(parent, failureText(failure));
}

}  // namespace varnox::platform
