// Draws each window of the program into a PNG file, for the README and for checking the
// layout by eye: screenshots OUTPUT_FOLDER [GAME_FOLDER]
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <iostream>

#include "configwin/config_host.h"
#include "configwin/frm_config.h"
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnox/varnox.png")));
    varnox::widgets::installFontSubstitutes();
    QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    auto drives = varnox::platform::DriveTable::fromSystem();
    varnox::platform::ScriptedMessageBoxes boxes;
    varnox::platform::SystemProcessRunner processes;
    varnox::platform::Services services{drives, boxes, processes, varnox::platform::programFolder(),
                                        [] {}};

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
    return ok ? 0 : 1;
}
