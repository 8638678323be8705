#include "tools/redirect/output.h"

#include <unistd.h>

#include <algorithm>

#include "platform/progress_text.h"
#include "platform/terminal_text.h"

namespace varnox::redirect {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
constexpr const char* kClearToEnd = "\033[K";

std::string jsonValue(const Field& field) {
    if (const auto* text = std::get_if<std::string>(&field.value)) {
        return platform::jsonString(*text);
    }
    if (const auto* number = std::get_if<std::uint64_t>(&field.value)) {
        return std::to_string(*number);
    }
    if (const auto* texts = std::get_if<std::vector<std::string>>(&field.value)) {
        std::string list = "[";
        for (const std::string& item : *texts) {
            list += (list.size() > 1 ? ", " : "") + platform::jsonString(item);
        }
        return list + "]";
    }
    return std::get<bool>(field.value) ? "true" : "false";
}

}  // namespace

Output::Output(std::ostream& out, std::ostream& err, Style style)
    : out_(out), err_(err), style_(style) {
    if (style_.json || style_.quiet) {
        style_.terminal = false;
    }
}

Output::~Output() {
    stopProgress();
}

void Output::print(const Line& line) {
    const bool failure = line.kind == Line::Kind::kFailure;
    if (style_.quiet && !failure) {
        return;
    }
    std::lock_guard lock(mutex_);
    clearProgress();
    if (style_.json) {
        std::string object = "{";
        for (const Field& field : line.fields) {
            object += (object.size() > 1 ? ", " : "") + platform::jsonString(field.key) + ": " +
                      jsonValue(field);
        }
        out_ << object << "}\n" << std::flush;
        return;
    }
    if (failure) {
        writeText(err_, style_.stampErr, line.text);
    } else {
        writeText(out_, style_.stampOut, line.text);
    }
}

void Output::print(const Line& line, const std::vector<std::string>& details) {
    print(line);
    if (style_.json || style_.quiet) {
        return;
    }
    std::lock_guard lock(mutex_);
    for (const std::string& detail : details) {
        writeText(out_, style_.stampOut, detail);
    }
}

void Output::prompt(const std::string& question) {
    std::lock_guard lock(mutex_);
    clearProgress();
    out_ << platform::printable(question) << std::flush;
}

void Output::writeText(std::ostream& stream, bool stamp, const std::string& text) {
    const std::string prefix =
        stamp ? platform::localTimestamp(std::chrono::system_clock::now()) + " " : "";
    stream << prefix << platform::printable(text) << '\n' << std::flush;
}

void Output::startProgress(std::function<StepProgress()> state) {
    stopProgress();
    if (!style_.terminal) {
        return;
    }
    started_ = std::chrono::steady_clock::now();
    ticking_ = true;
    ticker_ = std::thread([this, state = std::move(state)] {
        std::unique_lock lock(mutex_);
        while (ticking_) {
            wake_.wait_for(lock, kRedrawEvery);
            if (ticking_) {
                draw(state());
            }
        }
    });
}

void Output::stopProgress() {
    {
        std::lock_guard lock(mutex_);
        ticking_ = false;
        clearProgress();
    }
    wake_.notify_all();
    if (ticker_.joinable()) {
        ticker_.join();
    }
}

void Output::draw(const StepProgress& state) {
    const std::size_t columns = platform::terminalColumns(STDOUT_FILENO);
    // The last column stays free: a line that fills it wraps on some terminals.
    const std::string text = platform::progressLine(
        platform::printable(state.label), state.done, state.total,
        std::chrono::steady_clock::now() - started_, (columns > 0 ? columns : 80) - 1);
    out_ << '\r' << text << kClearToEnd << std::flush;
    drawn_ = true;
}

void Output::clearProgress() {
    if (drawn_) {
        out_ << '\r' << kClearToEnd << std::flush;
        drawn_ = false;
    }
}

}  // namespace varnox::redirect
