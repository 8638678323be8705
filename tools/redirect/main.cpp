// varnox-redirect: prepares and uploads a whole redirect server from a terminal.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "platform/files.h"
#include "settings/settings_file.h"
#include "tools/redirect/commands.h"

int main(int argc, char** argv) {
    using namespace varnox::redirect;
    Options options;
    try {
        options = parseOptions(
            std::vector<std::string>(argv + 1, argv + argc), std::getenv("VARNOX_FTP_PASSWORD"),
            varnox::settings::settingsFileFor(varnox::platform::programFolder()));
    } catch (const UsageError& error) {
        std::cerr << "varnox-redirect: " << error.what() << "\n"
                  << "Try 'varnox-redirect --help'.\n";
        return kExitUsage;
    }
    if (options.command == Command::kHelp) {
        std::cout << helpText();
        return kExitSuccess;
    }
    if (options.command == Command::kVersion) {
        std::cout << "varnox-redirect (varnox) " << VARNOX_VERSION << "\n";
        return kExitSuccess;
    }
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    Output output(std::cout, std::cerr,
                  {.json = options.json,
                   .quiet = options.quiet,
                   .terminal = terminal,
                   .stampOut = options.timestamps || !terminal,
                   .stampErr = options.timestamps || ::isatty(STDERR_FILENO) != 1});
    return Commands(options, output).run();
}
