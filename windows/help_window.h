#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace varnox::windows {

// The help window: a fixed page of text and an OK button that puts it away. OK hides the
// window (it keeps its texts); the close box destroys it.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // The three texts of the page.
    static QString informationText();
    static QString helpText();
    static QString serverInfoText();

private:
    void load();

    QPushButton* okButton_;
    QLabel* informationLabel_;
    QLabel* helpLabel_;
    QLabel* serverInfoLabel_;
};

}  // namespace varnox::windows
