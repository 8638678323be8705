// Draws each window of the program into a PNG file, for the README and for checking the
// layout by eye: screenshots OUTPUT_FOLDER [PROGRAM_FOLDER]
//
// PROGRAM_FOLDER stands for the folder that holds the program and its config.txt (by default
// the folder of this tool), so the windows can be drawn on a prepared demo.
//
// The FTP window is drawn twice: as it opens, and connected to a small local FTP server
// (the test server script, run with /usr/bin/python3) with one folder opened. Without
// Python's pyftpdlib the second picture is left out.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidgetItem>
#include <iostream>

#include "configwin/config_host.h"
#include "configwin/frm_config.h"
#include "ftp/window/frm_ftp.h"
#include "ftp/window/remote_tree.h"
#include "helpwin/frm_help.h"
#include "mainwin/frm_brindle.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/process.h"
#include "widgets/classic.h"

namespace {

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
        writeFile(folder_.path() + "/server.json",
                  QStringLiteral("{\"accounts\": [{\"name\": \"redirect\", \"password\": "
                                 "\"demo\", \"home\": \"%1\"}]}\n")
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

bool saveFtpWindows(varnox::platform::Services& services,
                    const varnox::settings::SettingsRecord& record, const QString& out) {
    bool ok = true;
    {
        varnox::ftpwin::frmFTP ftp(services, record);
        ok &= save(ftp, out + "/ftp-window.png");
    }
    DemoServer server;
    if (!server.running()) {
        std::cout << "no local FTP server: the connected FTP window is left out\n";
        return ok;
    }
    auto connected = record;
    connected.gstServerIp = server.address();
    connected.gstUsername = "redirect";
    connected.gstPassword = "demo";
    varnox::ftpwin::frmFTP ftp(services, connected);
    ftp.findChild<QAbstractButton*>("cmdInternetOpen")->click();
    ftp.findChild<QAbstractButton*>("cmdConnect")->click();
    varnox::ftpwin::RemoteTree& tree = ftp.tree();
    if (QTreeWidgetItem* maps = tree.node(QString::fromStdString(server.address() + "/maps"))) {
        tree.setCurrentItem(maps);
        emit tree.treeDoubleClicked();
        tree.setCurrentItem(maps->child(0));
    }
    ok &= save(ftp, out + "/ftp-window-connected.png");
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
    varnox::widgets::installFontSubstitutes();
    QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    auto drives = varnox::platform::DriveTable::fromSystem();
    varnox::platform::ScriptedMessageBoxes boxes;
    varnox::platform::SystemProcessRunner processes;
    std::string programFolder = argc > 2 ? argv[2] : varnox::platform::programFolder();
    varnox::platform::Services services{drives, boxes, processes, programFolder, [] {}};

    bool ok = true;
    varnox::mainwin::frmBrindle main(services);
    main.load();
    ok &= save(main, out + "/main-window.png");

    // The configuration window as Configure shows it; Search runs over the machine's drives.
    {
        struct NoHost : varnox::configwin::ConfigHost {
            void moveListsTo(const QString&, const QString&) override {}
            void showAgain() override {}
        } host;
        varnox::configwin::frmConfig config(services, host);
        config.load();
        ok &= save(config, out + "/config-window.png");
    }

    varnox::helpwin::frmHelp help;
    ok &= save(help, out + "/help-window.png");

    ok &= saveFtpWindows(services, main.settingsRecord(), out);
    for (const QString& text : boxes.texts()) {
        std::cout << "message: " << text.toStdString() << "\n";
    }
    return ok ? 0 : 1;
}
