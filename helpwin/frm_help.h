#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace varnox::helpwin {

// The help window: a fixed page of text and an OK button that puts it away. OK hides the
// window (it keeps its texts); the close box destroys it.
class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    // The three texts of the page.
    static QString informationText();
    static QString helpText();
    static QString serverInfoText();

private:
    void load();

    QPushButton* OKButton_;
    QLabel* lblInformation_;
    QLabel* lblHelp_;
    QLabel* lblServerInfo_;
};

}  // namespace varnox::helpwin
