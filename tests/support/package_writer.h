#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Unreal packages (engine 1) made for tests and the benchmark: a header, a name table, an
// import table, object data and an export table of empty objects, in that order.
namespace varnox::test {

struct PackageLayout {
    struct Import {
        std::int32_t classPackage;  // name indices
        std::int32_t className;
        std::int32_t outer;  // 0 none, -n import n - 1
        std::int32_t objectName;
    };
    std::uint16_t version = 69;
    std::vector<std::string> names;
    std::vector<Import> imports;
    std::size_t dataSize = 16;  // bytes between the import and the export table
};

// A package importing each of `packages` as the game does: the package, a group in it and a
// texture in the group.
PackageLayout packageImporting(const std::vector<std::string>& packages,
                               std::uint16_t version = 69);

std::vector<std::uint8_t> packageBytes(const PackageLayout& layout);
void writePackage(const std::filesystem::path& file, const PackageLayout& layout);

// Header fields, by their byte offset.
enum HeaderField : std::size_t {
    kVersionAt = 4,
    kNameCountAt = 12,
    kNameOffsetAt = 16,
    kExportCountAt = 20,
    kExportOffsetAt = 24,
    kImportCountAt = 28,
    kImportOffsetAt = 32,
    kGenerationCountAt = 52,  // from version 68
};
std::uint32_t loadU32(const std::vector<std::uint8_t>& bytes, std::size_t at);
void storeU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value);

}  // namespace varnox::test
