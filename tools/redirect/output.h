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
    std::variant<std::string, std::uint64_t, bool> value;
};

// One result: its text as a person reads it, and its fields as --json gives them.
struct Line {
    enum class Kind { kResult, kFailure, kSummary };
    Kind kind = Kind::kResult;
    std::string text;
    std::vector<Field> fields;
};

// A JSON string for bytes: quotes, backslashes and control bytes escaped, and bytes that are
// not UTF-8 taken as Latin-1, so the result is always valid JSON.
std::string jsonString(const std::string& bytes);

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
    };

    Output(std::ostream& out, std::ostream& err, Style style);
    ~Output();

    // Text: results and summaries on standard output, failures on standard error; JSON:
    // every line on standard output. --quiet keeps failures only.
    void print(const Line& line);

    // Shows a progress line, asked for the step's state a few times a second, until
    // stopProgress(). Nothing unless standard output is a terminal.
    void startProgress(std::function<StepProgress()> state);
    void stopProgress();

private:
    void draw(const StepProgress& state);
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
