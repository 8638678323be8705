#pragma once

#include <string>

#include "platform/failure.h"

namespace varnox::mainwin {

// The game tool of a game folder: System/ucc.exe, found without regard to letter case.
// When the folder holds no such file the path is the one asked for, and starting it fails.
std::string gameToolPath(const std::string& gameFolder);

// The failure for a result the tool did not leave: `what` ("compressed file", "package")
// and the file expected, with the last "Error:" line of the game folder's UCC.log when it
// has one.
Failure missingResult(const std::string& what, const std::string& file,
                      const std::string& gameFolder);

}  // namespace varnox::mainwin
