// varnox: prepares Unreal Tournament packages for a redirect server.
#include <QApplication>
#include <QIcon>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "settings/settings_file.h"
#include "windows/layout.h"
#include "windows/main_window.h"
#include "windows/message_boxes.h"
#include "windows/services.h"

int main(int argc, char** argv) {
    using namespace varnox;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnox"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnox/varnox.png")));
    windows::installFontSubstitutes();

    auto drives = platform::DriveTable::fromSystem();
    windows::QtMessageBoxes boxes;
    platform::SystemProcessRunner processes;
    const std::filesystem::path programFolder = platform::programFolder();
    // Exit ends every window and every wait for the game tool; a running tool keeps running.
    windows::Services services{
        drives, boxes, processes, programFolder, settings::settingsFilePath(programFolder), [] {
            QApplication::exit(0);
        }};

    windows::MainWindow main(services);
    main.load();
    main.show();
    windows::centreWindow(&main);
    return QApplication::exec();
}
