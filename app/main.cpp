// varnox: prepares Unreal Tournament packages for a redirect server.
#include <unistd.h>
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "mainwin/frm_brindle.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/process.h"
#include "platform/services.h"
#include "widgets/classic.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnox"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnox/varnox.png")));
    varnox::widgets::installFontSubstitutes();

    auto drives = varnox::platform::DriveTable::fromSystem();
    varnox::platform::QtMessageBoxes boxes;
    varnox::platform::SystemProcessRunner processes;
    varnox::platform::Services services{drives, boxes, processes, varnox::platform::programFolder(),
                                        [] {
                                            // Ends at once, whatever windows are open or
                                            // waiting; a running game tool keeps running.
                                            std::fflush(nullptr);
                                            ::_exit(0);
                                        }};

    varnox::mainwin::frmBrindle main(services);
    main.load();
    main.show();
    varnox::widgets::centreWindow(&main);
    return QApplication::exec();
}
