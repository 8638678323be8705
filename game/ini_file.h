#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnox::game {

// The game's ini file as the game reads it: "[Section]" lines open a section, "Key=Value"
// lines belong to the section above them, and anything else is passed over. Lines end in
// CR LF or LF. Section names and keys are compared without regard to case; a key may repeat,
// and a section named again goes on where it left off. Keys and values lose the blanks
// around them and a value its enclosing pair of double quotes; otherwise values are kept as
// the bytes read. A UTF-8 byte order mark is skipped; a file starting with the UTF-16 mark
// (as Windows editors save it) is read as UTF-16 and its values given as UTF-8.
class IniFile {
public:
    explicit IniFile(std::string_view bytes);

    // Every value of `key` in `section`, in file order.
    std::vector<std::string> values(std::string_view section, std::string_view key) const;
    // The first of them, as the game takes a key that holds one value.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

private:
    struct Line {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Line> lines_;
};

}  // namespace varnox::game
