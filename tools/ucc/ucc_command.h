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

// Runs one invocation: `args` are the arguments after the program name. Starts a fresh
// UCC.log in the tool's folder, handles each path in order, and returns the exit status.
// Result lines also go to `out`; warnings, errors and the usage text for a usage error go
// to `err`.
int runUcc(const std::vector<std::string>& args, const ToolPlace& place, std::ostream& out,
           std::ostream& err);

}  // namespace varnox::ucc
