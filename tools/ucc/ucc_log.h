#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace varnox::ucc {

// The tool's log, UCC.log: started afresh when opened, single-byte text (paths go in as
// their bytes), one "Event: text" line per entry, each ending in CR LF. A line break inside
// the text would split the entry, so CR and LF in it become '?'. When the file cannot be
// written, lines are dropped and opened() says so; the tool's work goes on.
class UccLog {
public:
    explicit UccLog(const std::filesystem::path& file);

    bool opened() const { return out_.is_open() && out_.good(); }
    void line(std::string_view event, std::string_view text);

    // The text as it appears in a line.
    static std::string clean(std::string_view text);

private:
    std::ofstream out_;
};

}  // namespace varnox::ucc
