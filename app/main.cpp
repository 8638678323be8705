// varnox: prepares Unreal Tournament packages for a redirect server.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string_view>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "settings/settings_file.h"
#include "windows/layout.h"
#include "windows/main_window.h"
#include "windows/message_boxes.h"
#include "windows/services.h"

namespace {

// The command line takes nothing but --help and --version; everything else comes from the
// settings file. True when one of them was answered.
bool answeredCommandLine(int argc, char** argv, const std::filesystem::path& settingsFile) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            std::printf("varnox %s\n", VARNOX_VERSION);
            return true;
        }
        if (argument == "--help" || argument == "-h") {
            std::printf(
                "Usage: varnox [--help | --version]\n\n"
                "Prepares Unreal Tournament packages for a redirect server: compresses them\n"
                "into .uz files with the game tool in the game folder's System folder, turns\n"
                ".uz files back into packages and uploads files over FTP. Everything is done\n"
                "in its windows; the headless command is varnox-redirect.\n\n"
                "Settings file: %s\n"
                "(beside the program when its folder can be written and is not under /usr,\n"
                "otherwise $XDG_CONFIG_HOME/varnox/config.txt)\n",
                settingsFile.c_str());
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace varnox;
    const std::filesystem::path programFolder = platform::programFolder();
    const std::filesystem::path settingsFile = settings::settingsFileFor(programFolder);
    if (answeredCommandLine(argc, argv, settingsFile)) {
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnox"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnox/varnox.png")));
    windows::installFontSubstitutes();

    auto drives = platform::DriveTable::fromSystem();
    windows::QtMessageBoxes boxes;
    platform::SystemProcessRunner processes;
    // Exit ends every window and every wait for the game tool; a running tool keeps running.
    windows::Services services{drives,        boxes,        processes,
                               programFolder, settingsFile, [] {
            QApplication::exit(0); }};

    windows::MainWindow main(services);
    main.load();
    main.show();
    windows::centreWindow(&main);
    return QApplication::exec();
}
