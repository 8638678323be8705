#include "tests/support/files.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace varnox::test {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path());
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::filesystem::path builtProgram(const std::string& name) {
    return std::filesystem::path(VARNOX_BIN_DIR) / name;
}

std::filesystem::path sourcePath(const std::string& relative) {
    return std::filesystem::path(VARNOX_SOURCE_DIR) / relative;
}

std::filesystem::path sharedVectorsDir() {
    return std::filesystem::path(VARNOX_SOURCE_DIR) / ".." / "shared" / "uz-vectors";
}

}  // namespace varnox::test
