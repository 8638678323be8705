#include "tools/ucc/package_names.h"

#include <algorithm>

#include "platform/failure.h"

namespace varnox::ucc {

std::string decompressedName(const std::string& uzPath) {
    const std::size_t slash = uzPath.find_last_of('/');
    const std::string name = slash == std::string::npos ? uzPath : uzPath.substr(slash + 1);
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    const bool endsInUz = name.size() >= 3 && name[name.size() - 3] == '.' &&
                          lower(name[name.size() - 2]) == 'u' &&
                          lower(name[name.size() - 1]) == 'z';
    if (!endsInUz) {
        throw Failure(failure::kBadFileName,
                      "Cannot decompress " + uzPath + ": the file name does not end in .uz");
    }
    std::string package = name.substr(0, name.size() - 3);
    if (package.empty() || package == "." || package == "..") {
        throw Failure(failure::kBadFileName,
                      "Cannot decompress " + uzPath + ": the file name leaves no package name");
    }
    return package;
}

std::uint64_t percentOfPackage(std::uint64_t uzSize, std::uint64_t packageSize) {
    const std::uint64_t base = std::max<std::uint64_t>(packageSize, 1);
    // Both sizes come from files in memory, far below 2^57, so 200 * size cannot overflow.
    return (200 * uzSize + base) / (2 * base);
}

}  // namespace varnox::ucc
