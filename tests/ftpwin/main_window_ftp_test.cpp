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

    // The FTP windows that exist (and are not about to be deleted).
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

    frmFTP* clickFtp() {
        button("cmdFtp")->click();
        auto windows = ftpWindows();
        EXPECT_EQ(windows.size(), 1u);
        return windows.empty() ? nullptr : windows.front();
    }

    static QString field(frmFTP* window, const char* name) {
        return window->findChild<QLineEdit*>(name)->text();
    }
};

TEST_F(MainWindowFtp, TheFtpButtonOpensOneWindowBesideTheMainWindow) {
    auto game = dir_ / "c" / "UT";
    fs::create_directories(game);
    writeConfig(game.string(), "c:", "ftp.example.net", "admin", "pw");
    auto& main = start();
    frmFTP* ftp = clickFtp();
    ASSERT_NE(ftp, nullptr);
    EXPECT_TRUE(ftp->isVisible());
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(ftp->parentWidget(), nullptr) << "a window of its own";
    EXPECT_EQ(field(ftp, "txtServer"), "ftp.example.net");
    EXPECT_EQ(field(ftp, "txtUser"), "admin");
    EXPECT_EQ(field(ftp, "txtPassword"), "pw");
    EXPECT_EQ(ftp->findChild<widgets::FolderList*>("Dir1")->path(), q(game));

    ftp->findChild<QLineEdit*>("txtServer")->setText("typed");
    EXPECT_EQ(clickFtp(), ftp) << "the second click shows the same window";
    EXPECT_EQ(field(ftp, "txtServer"), "typed");
    EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(MainWindowFtp, CloseUnloadsTheWindowAndTheNextClickLoadsItAnew) {
    writeConfig((dir_ / "c").string(), "c:", "ftp.example.net", "admin", "pw");
    start();
    QPointer<frmFTP> first = clickFtp();
    first->findChild<QLineEdit*>("txtServer")->setText("typed");
    first->findChild<QAbstractButton*>("cmdClose")->click();
    EXPECT_TRUE(ftpWindows().empty());
    EXPECT_TRUE(first.isNull());

    frmFTP* second = clickFtp();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(field(second, "txtServer"), "ftp.example.net") << "loaded from the record again";
}

TEST_F(MainWindowFtp, TheCloseBoxEndsTheConnectionAndUnloadsTheWindow) {
    TempDir home;
    FtpServer server("admin", "pw", home.path());
    writeConfig((dir_ / "c").string(), "c:", server.address(), "admin", "pw");
    start();
    QPointer<frmFTP> ftp = clickFtp();
    ftp->findChild<QAbstractButton*>("cmdInternetOpen")->click();
    ftp->findChild<QAbstractButton*>("cmdConnect")->click();
    ASSERT_TRUE(ftp->connected());
    EXPECT_TRUE(ftp->close());  // as the close box does
    ASSERT_FALSE(ftp.isNull()) << "deleted later, from the event loop";
    EXPECT_FALSE(ftp->connected());
    EXPECT_FALSE(ftp->sessionOpen());
    EXPECT_TRUE(ftpWindows().empty());
    EXPECT_EQ(boxes_.texts(), std::vector<QString>{"This directory is empty!"});
}

}  // namespace
}  // namespace varnox::test
