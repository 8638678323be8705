// Draws each window of the program into a PNG file, for the README and for checking the
// layout by eye: screenshots OUTPUT_FOLDER [PROGRAM_FOLDER]
//
// PROGRAM_FOLDER stands for the folder that holds the program and its config.txt (by default
// the folder of this tool), so the windows can be drawn on a prepared demo.
//
// The FTP window is drawn as it opens, connected to a small local FTP server (the test
// server script, run with /usr/bin/python3) with one folder opened, and with the progress
// of an upload that the server slows down. Without Python's pyftpdlib the last two pictures
// are left out.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QProcess>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidgetItem>
#include <iostream>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/process.h"
#include "settings/settings_file.h"
#include "windows/config_host.h"
#include "windows/config_window.h"
#include "windows/file_lists.h"
#include "windows/ftp_window.h"
#include "windows/help_window.h"
#include "windows/layout.h"
#include "windows/main_window.h"
#include "windows/remote_tree.h"

namespace {

using namespace varnox;

// Message boxes are not drawn: their texts are printed, and questions answered No.
class PrintedMessageBoxes : public platform::MessageBoxes {
public:
    void inform(QWidget*, const QString& text) override {
        std::cout << "message: " << text.toStdString() << "\n";
    }
    bool askYesNo(QWidget*, const QString& text) override {
        inform(nullptr, text);
        return false;
    }
};

bool save(QWidget& window, const QString& file) {
    window.show();
    QApplication::processEvents();
    bool ok = window.grab().save(file);
    std::cout << (ok ? "wrote " : "cannot write ") << file.toStdString() << "\n";
    return ok;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
}

// A local FTP server over a small redirect-server tree, for as long as the object lives.
class DemoServer {
public:
    DemoServer() {
        QString home = folder_.path() + "/home";
        for (const char* sub : {"maps", "sounds", "music", "textures", "system"}) {
            QDir().mkpath(home + "/" + sub);
        }
        writeFile(home + "/maps/DM-Deck16][.unr.uz", QByteArray(2048, 'x'));
        writeFile(home + "/maps/CTF-Face.unr.uz", QByteArray(2048, 'x'));
        writeFile(home + "/maps/DM-Example.unr.uz", QByteArray(2048, 'x'));
        writeFile(home + "/textures/Example.utx.uz", QByteArray(512, 'x'));
        writeFile(home + "/index.html", "<html></html>\n");
        // About 4 MiB a second, so that an upload of some MiB shows its progress.
        writeFile(folder_.path() + "/server.json",
                  QStringLiteral("{\"accounts\": [{\"name\": \"redirect\", \"password\": "
                                 "\"demo\", \"home\": \"%1\"}], \"throttle\": 4194304}\n")
                      .arg(home)
                      .toUtf8());
        QString script = QStringLiteral(VARNOX_SOURCE_DIR "/tests/support/ftp_server.py");
        process_.start(QStringLiteral("/usr/bin/python3"),
                       {script, folder_.path() + "/server.json"});
        if (process_.waitForReadyRead(10000)) {
            port_ = process_.readLine().trimmed().toInt();
        }
    }
    ~DemoServer() {
        process_.closeWriteChannel();  // the server ends when its input closes
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    bool running() const { return port_ > 0; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    QTemporaryDir folder_;
    QProcess process_;
    int port_ = 0;
};

bool saveFtpWindows(windows::Services& services, const settings::Settings& record,
                    const QString& out) {
    bool ok = true;
    {
        windows::FtpWindow ftp(services, record);
        ok &= save(ftp, out + "/ftp-window.png");
    }
    DemoServer server;
    if (!server.running()) {
        std::cout << "no local FTP server: the connected FTP window is left out\n";
        return ok;
    }
    auto connected = record;
    connected.server = server.address();
    connected.user = "redirect";
    connected.password = "demo";
    windows::FtpWindow ftp(services, connected);
    ftp.findChild<QAbstractButton*>("cmdInternetOpen")->click();
    ftp.findChild<QAbstractButton*>("cmdConnect")->click();
    windows::RemoteTree& tree = ftp.tree();
    if (QTreeWidgetItem* maps = tree.node(server.address() + "/maps")) {
        tree.setCurrentItem(maps);
        emit tree.treeDoubleClicked();
        tree.setCurrentItem(maps->child(0));
    }
    ok &= save(ftp, out + "/ftp-window-connected.png");

    // An upload into maps, drawn while it runs, then cancelled.
    auto& files = *ftp.findChild<windows::FileList*>("File1");
    const QString big =
        QString::fromStdString((files.folder() / "DM-Brindle-Large.unr.uz").string());
    writeFile(big, QByteArray(24 << 20, 'u'));
    files.refresh();
    const auto found = files.findItems(QFileInfo(big).fileName(), Qt::MatchExactly);
    if (!found.isEmpty()) {
        files.setCurrentItem(found.front());
        found.front()->setSelected(true);
    }
    tree.setCurrentItem(tree.node(server.address() + "/maps"));
    QTimer::singleShot(2500, [&] {
        if (auto* dialog = ftp.findChild<QProgressDialog*>("dlgProgress")) {
            ok &= save(*dialog, out + "/ftp-progress.png");
            dialog->cancel();
        } else {
            std::cout << "no progress dialog to draw\n";
            ok = false;
        }
    });
    ftp.findChild<QAbstractButton*>("cmdPut")->click();
    QFile::remove(big);
    ftp.findChild<QAbstractButton*>("cmdClosehOpen")->click();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: screenshots OUTPUT_FOLDER [PROGRAM_FOLDER]\n";
        return 2;
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnox/varnox.png")));
    windows::installFontSubstitutes();
    QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    auto drives = platform::DriveTable::fromSystem();
    PrintedMessageBoxes boxes;
    platform::SystemProcessRunner processes;
    const std::filesystem::path programFolder =
        argc > 2 ? std::filesystem::path(argv[2]) : platform::programFolder();
    windows::Services services{
        drives, boxes, processes, programFolder, settings::settingsFilePath(programFolder), [] {}};

    bool ok = true;
    windows::MainWindow main(services);
    main.load();
    ok &= save(main, out + "/main-window.png");

    // The configuration window as Configure shows it; Search runs over the machine's drives.
    {
        struct NoHost : windows::ConfigHost {
            void moveListsTo(const std::string&, const std::filesystem::path&) override {}
            void showAgain() override {}
        } host;
        windows::ConfigWindow config(services, host);
        config.load();
        ok &= save(config, out + "/config-window.png");
    }

    windows::HelpWindow help;
    ok &= save(help, out + "/help-window.png");

    ok &= saveFtpWindows(services, main.settings(), out);
    return ok ? 0 : 1;
}
