#pragma once

#include <filesystem>
#include <string>

namespace varnox::test {

// A fresh folder under the system's temporary folder, removed with everything in it
// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& child) const {
        return path_ / child;
    }
    // The path as text, for code that takes strings.
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace varnox::test
