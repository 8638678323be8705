#include "mainwin/game_tool.h"

#include "platform/files.h"
#include "settings/game_layout.h"

namespace varnox::mainwin {

std::string gameToolPath(const std::string& gameFolder) {
    return platform::findFileIgnoringCase(settings::systemFolder(gameFolder),
                                          std::string(settings::kToolName));
}

Failure missingResult(const std::string& what, const std::string& file,
                      const std::string& gameFolder) {
    std::string description = "The game tool left no " + what + " " + file;
    try {
        if (auto log = settings::readToolLog(settings::toolLogPath(gameFolder))) {
            if (auto error = settings::lastToolError(*log)) {
                description += "; its log says: " + *error;
            }
        }
    } catch (const Failure&) {
        // The log only adds detail; the missing result is the failure to report.
    }
    return Failure(failure::kFileNotFound, description);
}

}  // namespace varnox::mainwin
