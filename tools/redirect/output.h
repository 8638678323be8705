#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <variant>
#include <vector>

// What varnox-redirect prints: result lines as text or as JSON objects, and on a terminal a
// progress line redrawn in place while a long step runs.
namespace varnox::redirect {

struct Field {
    std::string key;
    std::variant<std::string, std::uint64_t, bool, std::vector<std::string>> value;
};

// One result: its text as a person reads it, and its fields as --json gives them.
struct Line {
    enum class Kind { kResult, kFailure, kSummary };
    Kind kind = Kind::kResult;
    std::string text;
    std::vector<Field> fields;
};

// Where a running step stands, for the progress line.
struct StepProgress {
    std::string label;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
};

class Output {
public:
    struct Style {
        bool json = false;
        bool quiet = false;     // failures only
        bool terminal = false;  // standard output is a terminal: progress is shown
        // Text lines on standard output, and on standard error, start with the local time.
        bool stampOut = false;
        bool stampErr = false;
    };

    Output(std::ostream& out, std::ostream& err, Style style);
    ~Output();

    // Text: results and summaries on standard output, failures on standard error, every
    // byte that could steer a terminal escaped; JSON: every line on standard output.
    // --quiet keeps failures only.
    void print(const Line& line);
    // A line, and after it lines that only text shows (each printed as print() does), for
    // details that JSON carries in the line's fields.
    void print(const Line& line, const std::vector<std::string>& details);
    // A question on standard output, the answer to come on the same line.
    void prompt(const std::string& question);

    // Shows a progress line, asked for the step's state a few times a second, until
    // stopProgress(). Nothing unless standard output is a terminal.
    void startProgress(std::function<StepProgress()> state);
    void stopProgress();

private:
    void draw(const StepProgress& state);
    void writeText(std::ostream& stream, bool stamp, const std::string& text);
    void clearProgress();

    std::ostream& out_;
    std::ostream& err_;
    Style style_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread ticker_;
    bool ticking_ = false;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace varnox::redirect
