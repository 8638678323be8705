#pragma once

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace varnox::game {

// Packages every player has, never counted as needed on a redirect server. Names compare
// without regard to case.
class StockPackages {
public:
    // None.
    StockPackages() = default;
    // The packages the retail game and its bonus packs ship: game/stock_packages.txt, built
    // into the program so that every installed copy has it.
    static StockPackages builtIn();

    // Adds the names of a list: one a line (CR LF or LF), blanks around it dropped, and a
    // package ending (.unr, .utx, .uax, .umx, .u) too; blank lines and lines starting with
    // '#' are passed over.
    void add(std::string_view list);
    // Adds the list in `file`; fails, naming the file, when it is missing or unreadable.
    void addFile(const std::filesystem::path& file);

    bool contains(std::string_view name) const;
    std::size_t size() const { return folded_.size(); }

private:
    std::set<std::string, std::less<>> folded_;
};

}  // namespace varnox::game
