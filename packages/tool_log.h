#pragma once

// What the game tool's log UCC.log says. The log is read as delimited items (the settings
// file's item reader), as the tool's result lines are.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnox::packages {

// The result texts of a compress run: for every item whose first ten characters are exactly
// "Log: Compr", the item from its 17th character on; an item of 16 characters or fewer gives
// the empty text. In log order, so the last one is the one left on show.
std::vector<std::string> compressResultTexts(std::string_view logText);

// The last line of the log that starts with "Error:", without its line end.
std::optional<std::string> lastToolError(std::string_view logText);

}  // namespace varnox::packages
