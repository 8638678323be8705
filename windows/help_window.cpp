#include "windows/help_window.h"

#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include "windows/controls.h"
#include "windows/layout.h"

namespace varnox::windows {

namespace {

QLabel* pageLabel(QWidget* parent, const char* name, int left, int top, int width, int height) {
    return plainLabel(parent, name, QString(), left, top, width, height);
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setUpWindow(this, "frmHelp", "Tolvrin's Brindle Help Page", classicFont(), 6030, 6345);
    setFixedSize(size());

    okButton_ = commandButton(this, "OKButton", QStringLiteral("OK"), 4695, 105, 1215, 375);
    informationLabel_ = pageLabel(this, "lblInformation", 120, 120, 4335, 1455);
    helpLabel_ = pageLabel(this, "lblHelp", 240, 1920, 5535, 1935);
    serverInfoLabel_ = pageLabel(this, "lblServerInfo", 120, 4320, 5775, 1815);
    okButton_->setFocus();

    connect(okButton_, &QPushButton::clicked, this, &QWidget::hide);
    load();
}

void HelpWindow::load() {
    informationLabel_->setText(informationText());
    helpLabel_->setText(helpText());
    // The label breaks lines at line feeds; the page's lines are joined by carriage returns.
    serverInfoLabel_->setText(serverInfoText().replace(QChar('\r'), QChar('\n')));
}

QString HelpWindow::informationText() {
    return QStringLiteral(
        "Thanks for using my Unreal Tournament Brindle.  I developed this program to simplify "
        "the compression and decompression of UT files for loading to a redirect server.  I have "
        "also included a basic FTP tool so you can get the files loaded immediately.  No fuss, no "
        "muss.  This is a 'No Frills' tool that should work on all 32-bit Windows platforms.");
}

QString HelpWindow::helpText() {
    return QStringList{
        QStringLiteral(
            "Help?  If you need help with this tool then you probably shouldn't have it."),
        QStringLiteral("Please send bug reports by e-mail to brindle-bugs@example.org."),
        QStringLiteral(
            "This is, afterall, a beta version and it will probably be full of bugs, no doubt.  "
            "When you compress a file, you will be able to find the compressed file in the same "
            "directory as the source file.  However, when you decompress a file, you will have to "
            "look in the unrealtournament/system directory.  I'm working on making all compressed "
            "and decompressed files appear in unrealtournament\\uz.  What else?  I borrowed the "
            "ftp "
            "code from someone else but I had to modify it a little for this program.")}
        .join(QStringLiteral("  "));
}

QString HelpWindow::serverInfoText() {
    // Eight lines joined by single carriage returns.
    return QStringList{QStringLiteral("Come and frag with us on the Brindle Clan servers!"),
                       QString(),
                       QStringLiteral("Brindle DM - 192.0.2.10:7777"),
                       QStringLiteral("Brindle CTF - 192.0.2.10:7787"),
                       QStringLiteral("Brindle Assault - 192.0.2.11:7777"),
                       QStringLiteral("Brindle Instagib - 192.0.2.11:7787"),
                       QString(),
                       QStringLiteral("All of our servers run custom maps, fast downloads from "
                                      "our redirect server included.")}
        .join(QChar('\r'));
}

}  // namespace varnox::windows
