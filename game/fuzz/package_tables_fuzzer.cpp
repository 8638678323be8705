// libFuzzer entry for the package tables: any input must either give tables whose every name
// index lies inside the name table, or fail with the number of a damaged file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "game/package_tables.h"
#include "platform/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const varnox::game::PackageInMemory bytes(std::span<const std::uint8_t>(data, size));
    varnox::game::PackageTables tables;
    try {
        tables = varnox::game::readPackageTables(bytes, "fuzz.unr");
    } catch (const varnox::Failure& failure) {
        if (failure.number() != varnox::failure::kInvalidFileFormat) {
            std::abort();
        }
        return 0;
    }
    // dependencies() indexes the name table with the names of every import.
    if (tables.names.size() != tables.header.nameCount ||
        tables.imports.size() != tables.header.importCount ||
        tables.dependencies().size() > tables.imports.size()) {
        std::abort();
    }
    return 0;
}
