#pragma once

#include <QString>
#include <deque>
#include <vector>

class QWidget;

namespace varnox {
class Failure;
}

namespace varnox::platform {

// Every message box of the program goes through here: titled "varnox", no icon.
class MessageBoxes {
public:
    static constexpr const char* kTitle = "varnox";

    virtual ~MessageBoxes() = default;
    // A message with an OK button.
    virtual void inform(QWidget* parent, const QString& text) = 0;
    // A question with Yes and No buttons, Yes the default; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
};

// Modal Qt message boxes.
class QtMessageBoxes : public MessageBoxes {
public:
    void inform(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
};

// A stand-in for tests: keeps every text shown and answers questions from a script
// (Yes when the script has run out).
class ScriptedMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        QString text;
        bool question = false;
    };

    void answerNext(bool yes) { answers_.push_back(yes); }
    void inform(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;

    const std::vector<Shown>& shown() const { return shown_; }
    // The texts shown, in order.
    std::vector<QString> texts() const;
    void clear() { shown_.clear(); }

private:
    std::deque<bool> answers_;
    std::vector<Shown> shown_;
};

// The text of the report of an unexpected failure: its number and its description.
QString failureText(const Failure& failure);

// The general failure path: reports the failure and lets the program go on.
void reportFailure(MessageBoxes& boxes, QWidget* parent, const Failure& failure);

}  // namespace varnox::platform
