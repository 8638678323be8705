#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/positional_file.h"

// The tables of an Unreal package (engine 1, versions 61 to 69): the header, the name table and
// the import table, read where the header says they are and nothing else of the file.
namespace varnox::game {

// Where a package's bytes come from.
class PackageBytes {
public:
    virtual ~PackageBytes() = default;
    virtual std::uint64_t size() const = 0;
    // Reads from `offset` into `into`; fewer bytes only at the end. Returns how many.
    virtual std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) const = 0;
};

class PackageFile final : public PackageBytes {
public:
    explicit PackageFile(const std::filesystem::path& file) : file_(file) {}
    std::uint64_t size() const override { return file_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) const override {
        return file_.readAt(offset, into);
    }

private:
    platform::PositionalFile file_;
};

class PackageInMemory final : public PackageBytes {
public:
    explicit PackageInMemory(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t readAt(std::uint64_t offset, std::span<std::uint8_t> into) const override;

private:
    std::span<const std::uint8_t> bytes_;
};

inline constexpr std::uint32_t kPackageTag = 0x9E2A83C1;

struct PackageHeader {
    std::uint16_t version = 0;
    std::uint16_t licensee = 0;
    std::uint32_t flags = 0;
    std::uint32_t nameCount = 0;
    std::uint32_t nameOffset = 0;
    std::uint32_t exportCount = 0;
    std::uint32_t exportOffset = 0;
    std::uint32_t importCount = 0;
    std::uint32_t importOffset = 0;
    // From version 68: the package's GUID and its generations (export and name counts).
    std::array<std::uint8_t, 16> guid{};
    struct Generation {
        std::uint32_t exportCount = 0;
        std::uint32_t nameCount = 0;
    };
    std::vector<Generation> generations;
};

// One import: an object of another package. Names are indices into the name table; `outer`
// is 0 for none, -n for import n - 1 and n for export n - 1.
struct PackageImport {
    std::int32_t classPackage = 0;
    std::int32_t className = 0;
    std::int32_t outer = 0;
    std::int32_t objectName = 0;
};

struct PackageTables {
    PackageHeader header;
    std::vector<std::string> names;  // as the bytes read, up to the terminating zero
    std::vector<PackageImport> imports;

    // The packages this one depends on: the imports of class "Package" whose outer is 0, in
    // table order, each name once (letter case not counting; the first spelling kept).
    std::vector<std::string> dependencies() const;
};

// Reads the tables. Damaged or hostile input (no package tag, another version, counts or
// offsets past the end, name indices outside the name table, names without end) fails with
// failure::kInvalidFileFormat and a description starting with `shownFile`; a failure to read
// is a varnox::Failure naming the file.
PackageTables readPackageTables(const PackageBytes& bytes, const std::string& shownFile);
PackageTables readPackageTables(const std::filesystem::path& file);

}  // namespace varnox::game
