#include "tests/support/package_writer.h"

#include <fstream>
#include <stdexcept>

namespace varnox::test {

namespace {

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void putIndex(std::vector<std::uint8_t>& out, std::int32_t value) {
    std::uint64_t rest = value < 0 ? -static_cast<std::int64_t>(value) : value;
    out.push_back(static_cast<std::uint8_t>((value < 0 ? 0x80 : 0) | (rest >= 0x40 ? 0x40 : 0) |
                                            (rest & 0x3f)));
    for (rest >>= 6; rest != 0; rest >>= 7) {
        out.push_back(static_cast<std::uint8_t>((rest >= 0x80 ? 0x80 : 0) | (rest & 0x7f)));
    }
}

}  // namespace

PackageLayout packageImporting(const std::vector<std::string>& packages, std::uint16_t version) {
    PackageLayout layout;
    layout.version = version;
    layout.names = {"None", "Core", "Package", "Engine", "Texture", "Skins", "Skin"};
    for (const std::string& name : packages) {
        const auto nameIndex = static_cast<std::int32_t>(layout.names.size());
        const auto importIndex = static_cast<std::int32_t>(layout.imports.size());
        layout.names.push_back(name);
        layout.imports.push_back({1, 2, 0, nameIndex});
        layout.imports.push_back({1, 2, -(importIndex + 1), 5});
        layout.imports.push_back({3, 4, -(importIndex + 2), 6});
    }
    return layout;
}

std::vector<std::uint8_t> packageBytes(const PackageLayout& layout) {
    std::vector<std::uint8_t> out;
    putU32(out, 0x9E2A83C1);
    putU32(out, layout.version);  // and licensee 0
    putU32(out, 0x1);             // flags
    out.resize(out.size() + 24);  // counts and offsets, stored below
    if (layout.version >= 68) {
        for (int i = 0; i < 16; ++i) {
            out.push_back(static_cast<std::uint8_t>(i * 17));  // GUID
        }
        putU32(out, 1);
        putU32(out, 1);  // exports
        putU32(out, static_cast<std::uint32_t>(layout.names.size()));
    } else {
        putU32(out, 0);
        putU32(out, 0);
    }
    storeU32(out, kNameCountAt, static_cast<std::uint32_t>(layout.names.size()));
    storeU32(out, kNameOffsetAt, static_cast<std::uint32_t>(out.size()));
    for (const std::string& name : layout.names) {
        if (layout.version >= 64) {
            out.push_back(static_cast<std::uint8_t>(name.size() + 1));
        }
        out.insert(out.end(), name.begin(), name.end());
        out.push_back(0);
        putU32(out, 0x70010);  // object flags
    }
    storeU32(out, kImportCountAt, static_cast<std::uint32_t>(layout.imports.size()));
    storeU32(out, kImportOffsetAt, static_cast<std::uint32_t>(out.size()));
    for (const PackageLayout::Import& entry : layout.imports) {
        putIndex(out, entry.classPackage);
        putIndex(out, entry.className);
        putU32(out, static_cast<std::uint32_t>(entry.outer));
        putIndex(out, entry.objectName);
    }
    for (std::size_t i = 0; i < layout.dataSize; ++i) {
        out.push_back(static_cast<std::uint8_t>(i * 2654435761u >> 24));
    }
    storeU32(out, kExportCountAt, 1);
    storeU32(out, kExportOffsetAt, static_cast<std::uint32_t>(out.size()));
    out.insert(out.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // one empty object
    return out;
}

void writePackage(const std::filesystem::path& file, const PackageLayout& layout) {
    const std::vector<std::uint8_t> bytes = packageBytes(layout);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::uint32_t loadU32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes.at(at) | bytes.at(at + 1) << 8 |
                                      bytes.at(at + 2) << 16 | bytes.at(at + 3) << 24);
}

void storeU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace varnox::test
