// The FTP button of the main window.
#include <QApplication>
#include <QLineEdit>
#include <QPointer>

#include "ftp/window/frm_ftp.h"
#include "tests/mainwin/main_window_fixture.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using ftpwin::frmFTP;

class MainWindowFtp : public MainWindowTest {
protected:
    MainWindowFtp() {
        for (const char* picture : {"open.bmp", "closed.bmp", "leaf.bmp", "root.bmp"}) {
            fs::copy_file(builtProgram(picture), fs::path(services_.programFolder) / picture);
        }
    }

    // Clicks the button; there is exactly one FTP window (not about to be deleted) then.
    frmFTP* clickFtp() {
        button("cmdFtp")->click();
        auto windows = ftpWindows();
        EXPECT_EQ(windows.size(), 1u);
        return windows.empty() ? nullptr : windows.front();
    }
    static std::vector<frmFTP*> ftpWindows() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::vector<frmFTP*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* ftp = qobject_cast<frmFTP*>(widget)) {
                found.push_back(ftp);
            }
        }
        return found;
    }
    static QLineEdit* server(frmFTP* window) { return window->findChild<QLineEdit*>("txtServer"); }
};

TEST_F(MainWindowFtp, TheFtpButtonKeepsOneWindowUntilItIsClosedThenLoadsItAnew) {
    TempDir home;
    FtpServer ftpServer("admin", "pw", home.path());
    auto game = dir_ / "c" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "c:", ftpServer.address(), "admin", "pw");
    auto& main = start();
    QPointer<frmFTP> ftp = clickFtp();
    ASSERT_FALSE(ftp.isNull());
    EXPECT_TRUE(ftp->isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(ftp->parentWidget(), nullptr) << "a window of its own";
    EXPECT_EQ(server(ftp)->text(), q(ftpServer.address()));
    EXPECT_EQ(ftp->findChild<widgets::FolderList*>("Dir1")->path(), q(game));
    server(ftp)->setText("typed");
    EXPECT_EQ(clickFtp(), ftp) << "the second click shows the same window";
    EXPECT_EQ(server(ftp)->text(), "typed");

    ftp->findChild<QAbstractButton*>("cmdClose")->click();
    EXPECT_TRUE(ftpWindows().empty());
    EXPECT_TRUE(ftp.isNull());
    ftp = clickFtp();
    ASSERT_FALSE(ftp.isNull());
    EXPECT_EQ(server(ftp)->text(), q(ftpServer.address())) << "loaded from the record again";

    // The close box ends the connection and unloads the window.
    ftp->findChild<QAbstractButton*>("cmdInternetOpen")->click();
    ftp->findChild<QAbstractButton*>("cmdConnect")->click();
    ASSERT_TRUE(ftp->connected());
    EXPECT_TRUE(ftp->close());
    ASSERT_FALSE(ftp.isNull()) << "deleted later, from the event loop";
    EXPECT_FALSE(ftp->sessionOpen());
    EXPECT_TRUE(ftpWindows().empty());
    EXPECT_EQ(boxes_.texts(), std::vector<QString>{"This directory is empty!"});
}

}  // namespace
}  // namespace varnox::test
