#pragma once

#include <filesystem>
#include <vector>

#include "game/game_config.h"
#include "game/needed_set.h"
#include "redirect/http_check.h"

namespace varnox::redirect {

// What the check asks the redirect server for, package by package, in the packages' order:
// with compression the package's .uz in `uzFolder` under the name a client asks for, with the
// package's size for the kTooLarge test (none when its size cannot be read); without, the
// package itself.
std::vector<CheckItem> checkItems(const std::vector<game::NeededPackage>& packages,
                                  const game::GameConfig& config,
                                  const std::filesystem::path& uzFolder);

}  // namespace varnox::redirect
