#pragma once

#include <cstdint>
#include <string>

namespace varnox::ucc {

// The name of the package that decompressing `uzPath` gives: the file name (the last
// component of the path) less its last three characters, which must be ".uz" in any
// letter case. Raises varnox::Failure (bad file name) when the name does not end in .uz or
// leaves no usable name ("", "." or "..").
std::string decompressedName(const std::string& uzPath);

// The .uz size as a percentage of the package size, rounded half up. An empty package
// counts as one byte, so the figure still shows how much larger the .uz file is.
std::uint64_t percentOfPackage(std::uint64_t uzSize, std::uint64_t packageSize);

}  // namespace varnox::ucc
