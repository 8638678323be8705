#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/ucc/tool_place.h"

namespace varnox::ucc {

// Exit statuses of the tool.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // at least one path failed
constexpr int kExitUsage = 2;    // no command, an unknown command or no path

// The usage text, which also states the tool's rules (results, log, exit status).
std::string usageText(const ToolPlace& place);
// What --version prints: "ucc (varnox) VERSION" and a line end.
std::string versionText();

// Runs one invocation: `args` are the arguments after the program name. A game's tool
// (place.gameTool) starts a fresh UCC.log in its folder, except for --help and --version;
// each path is handled in order, and the exit status returned. Result lines go to `out`;
// warnings, errors and the usage text for a usage error go to `err`.
int runUcc(const std::vector<std::string>& args, const ToolPlace& place, std::ostream& out,
           std::ostream& err);

}  // namespace varnox::ucc
