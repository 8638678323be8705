#include "tools/redirect/output.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/progress_text.h"

namespace varnox::redirect {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
constexpr std::size_t kBarWidth = 24;
constexpr const char* kClearToEnd = "\033[K";

// The length of the UTF-8 sequence starting at `at`, or 0 when it is not one (also for an
// overlong form, a surrogate or a value past U+10FFFF, which JSON readers refuse).
std::size_t utf8Length(const std::string& bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const std::size_t length = lead >= 0xF0 && lead < 0xF5   ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || at + length > bytes.size()) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(bytes[at + i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::size_t terminalColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20) {
        return size.ws_col;
    }
    return 80;
}

std::string jsonValue(const Field& field) {
    if (const auto* text = std::get_if<std::string>(&field.value)) {
        return jsonString(*text);
    }
    if (const auto* number = std::get_if<std::uint64_t>(&field.value)) {
        return std::to_string(*number);
    }
    return std::get<bool>(field.value) ? "true" : "false";
}

}  // namespace

std::string jsonString(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string json = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += static_cast<char>(byte);
        } else if (byte >= 0x20 && byte < 0x7F) {
            json += static_cast<char>(byte);
        } else if (const std::size_t length = byte >= 0x80 ? utf8Length(bytes, i) : 0) {
            json.append(bytes, i, length);
            i += length;
            continue;
        } else {
            json += "\\u00";
            json += kHex[byte >> 4];
            json += kHex[byte & 15];
        }
        ++i;
    }
    return json + "\"";
}

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
            object +=
                (object.size() > 1 ? ", " : "") + jsonString(field.key) + ": " + jsonValue(field);
        }
        out_ << object << "}\n" << std::flush;
        return;
    }
    (failure ? err_ : out_) << line.text << '\n' << std::flush;
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
    std::string bar(kBarWidth, ' ');
    if (state.total > 0) {
        const auto filled = static_cast<std::size_t>(
            std::min<std::uint64_t>(kBarWidth, state.done * kBarWidth / state.total));
        std::fill_n(bar.begin(), filled, '#');
    }
    std::string text = "[" + bar + "] " + state.label + "  " +
                       platform::describeProgress(state.done, state.total,
                                                  std::chrono::steady_clock::now() - started_);
    text.resize(std::min(text.size(), terminalColumns() - 1));
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
