#pragma once

#include <filesystem>
#include <string>

namespace varnox::redirect {

// The SHA-256 of a file's bytes as 64 lower-case hexadecimal digits, read in pieces so that
// a large file is never held whole. Throws varnox::Failure naming the file when it cannot be
// read.
std::string sha256Of(const std::filesystem::path& file);

}  // namespace varnox::redirect
