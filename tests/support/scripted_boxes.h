#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_boxes.h"

namespace varnox::test {

// Message boxes for the window tests: keeps every text shown and answers questions from a
// script (Yes when the script has run out), after running `whileAsking` as the user would
// take their time over a real box.
class ScriptedMessageBoxes : public platform::MessageBoxes {
public:
    void answerNext(bool yes) { answers_.push_back(yes); }
    void inform(QWidget*, const QString& text) override { shown_.push_back(text.toStdString()); }
    bool askYesNo(QWidget*, const QString& text) override {
        shown_.push_back(text.toStdString());
        if (whileAsking) {
            whileAsking();
        }
        const bool yes = answers_.empty() || answers_.front();
        if (!answers_.empty()) {
            answers_.pop_front();
        }
        return yes;
    }

    // The texts shown since the last call, and forgets them.
    std::vector<std::string> take() { return std::exchange(shown_, {}); }
    bool empty() const { return shown_.empty(); }

    std::function<void()> whileAsking;

private:
    std::deque<bool> answers_;
    std::vector<std::string> shown_;
};

}  // namespace varnox::test
