#pragma once

#include <QString>

class QWidget;

namespace varnox::platform {

// Every message box of the program goes through here: titled "varnox", no icon. The
// windows get the real boxes; tests a scripted stand-in.
class MessageBoxes {
public:
    static constexpr const char* kTitle = "varnox";

    virtual ~MessageBoxes() = default;
    // A message with an OK button.
    virtual void inform(QWidget* parent, const QString& text) = 0;
    // A question with Yes and No buttons, Yes the default; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text) = 0;
};

}  // namespace varnox::platform
