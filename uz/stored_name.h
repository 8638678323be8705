#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uz/byte_reader.h"

namespace varnox::uz {

// The package name stored in a .uz file, as the format's string: a compact index n, then
// n single-byte characters (n > 0) or -n UTF-16LE code units (n < 0), NUL included.
//
// Names are UTF-8 in this program. A name whose characters all lie in U+0000..U+00FF is
// written single-byte (as Latin-1); any other name as UTF-16. Text that is not valid UTF-8
// (a raw file name from disk) is taken byte for byte as single-byte characters. The empty
// name is written as n = 0. A name holding a NUL character cannot be stored (uz::Error).
void writeStoredName(std::string_view name, std::vector<std::uint8_t>& out);

// Reads a stored name and returns it as UTF-8: single-byte characters as Latin-1, UTF-16
// with its surrogate pairs (a lone surrogate becomes U+FFFD). The text ends at the first
// NUL. Raises uz::Error when the length is out of reach of the data or the last character
// is not NUL.
std::string readStoredName(ByteReader& in);

}  // namespace varnox::uz
