#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace varnox::ucc {

// The tool's log, UCC.log: single-byte text (paths go in as their bytes), one "Event: text"
// line per entry, each ending in CR LF. A line break inside the text would split the entry,
// so CR and LF in it become '?'. When the file cannot be written, lines are dropped and
// opened() says so; the tool's work goes on.
//
// Runs of the tool at the same time take turns: a run holds an advisory lock (flock) on the
// log from opening to closing, and only the holder starts the log afresh. A run that cannot
// have the lock within `wait` adds its lines to the log as it is. Every line is written in
// one piece under a short lock of its own (a record lock, separate from the run's), so
// lines never mix, whoever holds the run's lock.
class UccLog {
public:
    static constexpr std::chrono::milliseconds kWait{10000};

    explicit UccLog(const std::filesystem::path& file, std::chrono::milliseconds wait = kWait);
    ~UccLog();
    UccLog(const UccLog&) = delete;
    UccLog& operator=(const UccLog&) = delete;

    bool opened() const { return fd_ >= 0; }
    // Whether this run holds the log (and so started it afresh).
    bool ownsLog() const { return owns_; }
    void line(std::string_view event, std::string_view text);

    // The text as it appears in a line.
    static std::string clean(std::string_view text);

private:
    int fd_ = -1;
    bool owns_ = false;
};

}  // namespace varnox::ucc
