#pragma once

#include <string_view>

namespace varnox::platform {

// Whether `text` matches `pattern`, in which "*" stands for any run of bytes and "?" for any
// one byte; `same` tells whether two other bytes match (exactly, or in any letter case, say).
// One step of backtracking per "*": linear in practice.
bool wildcardMatches(std::string_view pattern, std::string_view text, bool (*same)(char, char));

}  // namespace varnox::platform
