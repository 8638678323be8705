#include "game/package_tables.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "game/package_names.h"
#include "platform/failure.h"

namespace varnox::game {

namespace {

constexpr std::uint16_t kOldestVersion = 61;
constexpr std::uint16_t kNewestVersion = 69;
// From this version names carry a length byte; before it they end at a zero byte.
constexpr std::uint16_t kLengthPrefixedNames = 64;
// From this version the header holds a GUID and generations instead of a heritage table.
constexpr std::uint16_t kGenerations = 68;
// No package the game's editor writes comes near this many entries in a table; more is damage,
// and refusing it keeps memory bounded whatever a file claims.
constexpr std::uint32_t kMostEntries = 1u << 22;
// A zero-terminated name longer than this is damage.
constexpr std::size_t kLongestName = 1024;
constexpr std::size_t kChunk = 32 * 1024;

// Reads little-endian fields and compact indices at any position of a package, a chunk of the
// file at a time. Every failure names the file.
class Cursor {
public:
    Cursor(const PackageBytes& bytes, const std::string& file) : bytes_(bytes), file_(file) {}

    std::uint64_t size() const { return bytes_.size(); }
    std::uint64_t position() const { return position_; }
    void seek(std::uint64_t offset) { position_ = offset; }

    std::uint8_t byte(const std::string& what) {
        if (position_ < chunkStart_ || position_ >= chunkStart_ + chunk_.size()) {
            load(what);
        }
        return chunk_[position_++ - chunkStart_];
    }
    std::uint16_t u16(const std::string& what) {
        const std::uint16_t low = byte(what);
        return static_cast<std::uint16_t>(low | byte(what) << 8);
    }
    std::uint32_t u32(const std::string& what) {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            value |= static_cast<std::uint32_t>(byte(what)) << shift;
        }
        return value;
    }
    // The format's compact index: byte 0 holds the sign (bit 7), "more" (bit 6) and 6 bits;
    // bytes 1 to 3 "more" (bit 7) and 7 bits each; byte 4 its 8 bits.
    std::int64_t compactIndex(const std::string& what) {
        const std::uint8_t first = byte(what);
        std::int64_t magnitude = first & 0x3f;
        bool more = (first & 0x40) != 0;
        int shift = 6;
        for (int i = 1; i <= 3 && more; ++i) {
            const std::uint8_t next = byte(what);
            magnitude |= static_cast<std::int64_t>(next & 0x7f) << shift;
            shift += 7;
            more = (next & 0x80) != 0;
        }
        if (more) {
            magnitude |= static_cast<std::int64_t>(byte(what)) << shift;
        }
        return (first & 0x80) != 0 ? -magnitude : magnitude;
    }

    [[noreturn]] void fail(const std::string& problem) const {
        throw Failure(failure::kInvalidFileFormat, file_ + ": " + problem);
    }

private:
    void load(const std::string& what) {
        if (position_ >= bytes_.size()) {
            fail(what + " runs past the end of the file");
        }
        chunk_.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size() - position_)));
        chunk_.resize(bytes_.readAt(position_, chunk_));
        chunkStart_ = position_;
        if (chunk_.empty()) {
            fail(what + " runs past the end of the file");  // it shrank while being read
        }
    }

    const PackageBytes& bytes_;
    const std::string& file_;
    std::vector<std::uint8_t> chunk_;
    std::uint64_t chunkStart_ = 0;
    std::uint64_t position_ = 0;
};

// A table's count and offset against the file: `smallest` is the fewest bytes an entry takes.
void checkTable(const Cursor& in, const char* table, std::uint32_t count, std::uint32_t offset,
                std::uint64_t smallest) {
    if (count > kMostEntries) {
        in.fail("the " + std::string(table) + " claims " + std::to_string(count) +
                " entries, more than any package holds");
    }
    if (count > 0 && (offset > in.size() || count * smallest > in.size() - offset)) {
        in.fail("the " + std::string(table) + " (" + std::to_string(count) + " entries at " +
                std::to_string(offset) + ") runs past the end of the file");
    }
}

PackageHeader readHeader(Cursor& in) {
    PackageHeader header;
    if (in.size() < 4 || in.u32("the tag") != kPackageTag) {
        in.fail("not an Unreal package (no package tag at the start)");
    }
    header.version = in.u16("the header");
    header.licensee = in.u16("the header");
    if (header.version < kOldestVersion || header.version > kNewestVersion) {
        in.fail("package version " + std::to_string(header.version) +
                ", which is not one of this game's (61 to 69)");
    }
    header.flags = in.u32("the header");
    header.nameCount = in.u32("the header");
    header.nameOffset = in.u32("the header");
    header.exportCount = in.u32("the header");
    header.exportOffset = in.u32("the header");
    header.importCount = in.u32("the header");
    header.importOffset = in.u32("the header");
    if (header.version >= kGenerations) {
        for (std::uint8_t& byte : header.guid) {
            byte = in.byte("the header");
        }
        const std::uint32_t count = in.u32("the header");
        if (count > (in.size() - in.position()) / 8) {
            in.fail("the header claims " + std::to_string(count) +
                    " generations, more than the file holds");
        }
        header.generations.resize(count);
        for (PackageHeader::Generation& generation : header.generations) {
            generation.exportCount = in.u32("the generations");
            generation.nameCount = in.u32("the generations");
        }
    } else {
        in.u32("the header");  // the heritage table's count and offset
        in.u32("the header");
    }
    // Smallest entries: a name of one byte and its flags; an import's three one-byte indices
    // and its outer; an export's four indices, outer and flags.
    checkTable(in, "name table", header.nameCount, header.nameOffset, 5);
    checkTable(in, "import table", header.importCount, header.importOffset, 7);
    checkTable(in, "export table", header.exportCount, header.exportOffset, 12);
    return header;
}

std::string readName(Cursor& in, std::uint16_t version, std::uint32_t index) {
    const std::string what = "name " + std::to_string(index);
    std::string name;
    if (version >= kLengthPrefixedNames) {
        const std::uint8_t length = in.byte(what);
        for (std::uint8_t i = 0; i < length; ++i) {
            name += static_cast<char>(in.byte(what));
        }
        name.resize(std::strlen(name.c_str()));  // the terminating zero and anything after it
    } else {
        for (char c = static_cast<char>(in.byte(what)); c != '\0';
             c = static_cast<char>(in.byte(what))) {
            if (name.size() == kLongestName) {
                in.fail(what + " is longer than " + std::to_string(kLongestName) + " bytes");
            }
            name += c;
        }
    }
    in.u32(what);  // its flags
    return name;
}

std::int32_t nameIndex(Cursor& in, const PackageHeader& header, const std::string& what) {
    const std::int64_t index = in.compactIndex(what);
    if (index < 0 || index >= header.nameCount) {
        in.fail(what + " names name " + std::to_string(index) + ", outside the name table (" +
                std::to_string(header.nameCount) + " names)");
    }
    return static_cast<std::int32_t>(index);
}

PackageImport readImport(Cursor& in, const PackageHeader& header, std::uint32_t index) {
    const std::string what = "import " + std::to_string(index);
    PackageImport entry;
    entry.classPackage = nameIndex(in, header, what);
    entry.className = nameIndex(in, header, what);
    entry.outer = static_cast<std::int32_t>(in.u32(what));
    const std::int64_t outer = entry.outer;
    if (-outer > static_cast<std::int64_t>(header.importCount) || outer > header.exportCount) {
        in.fail(what + " has outer " + std::to_string(outer) + ", which is no object of the file");
    }
    entry.objectName = nameIndex(in, header, what);
    return entry;
}

}  // namespace

std::size_t PackageInMemory::readAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
    if (offset >= bytes_.size()) {
        return 0;
    }
    const auto rest = bytes_.subspan(static_cast<std::size_t>(offset));
    const std::size_t count = std::min(rest.size(), into.size());
    std::copy_n(rest.begin(), count, into.begin());
    return count;
}

std::vector<std::string> PackageTables::dependencies() const {
    std::vector<std::string> found;
    std::set<std::string> seen;
    for (const PackageImport& entry : imports) {
        const std::string& name = names[static_cast<std::size_t>(entry.objectName)];
        if (entry.outer == 0 &&
            sameName(names[static_cast<std::size_t>(entry.className)], "Package") &&
            seen.insert(foldedName(name)).second) {
            found.push_back(name);
        }
    }
    return found;
}

PackageTables readPackageTables(const PackageBytes& bytes, const std::string& shownFile) {
    Cursor in(bytes, shownFile);
    PackageTables tables;
    tables.header = readHeader(in);
    const PackageHeader& header = tables.header;
    in.seek(header.nameOffset);
    tables.names.reserve(header.nameCount);
    for (std::uint32_t i = 0; i < header.nameCount; ++i) {
        tables.names.push_back(readName(in, header.version, i));
    }
    in.seek(header.importOffset);
    tables.imports.reserve(header.importCount);
    for (std::uint32_t i = 0; i < header.importCount; ++i) {
        tables.imports.push_back(readImport(in, header, i));
    }
    return tables;
}

PackageTables readPackageTables(const std::filesystem::path& file) {
    return readPackageTables(PackageFile(file), file.string());
}

}  // namespace varnox::game
