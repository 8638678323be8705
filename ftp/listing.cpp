#include "ftp/listing.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace varnox::ftp {
namespace {

struct Token {
    std::string_view text;
    std::size_t end = 0;  // offset just past the token in the line
};

// The blank-separated tokens of a line, at most `most` of them.
std::vector<Token> tokenize(std::string_view line, std::size_t most = std::string_view::npos) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size() && tokens.size() < most) {
        while (i < line.size() && line[i] == ' ') {
            ++i;
        }
        std::size_t start = i;
        while (i < line.size() && line[i] != ' ') {
            ++i;
        }
        if (i > start) {
            tokens.push_back({line.substr(start, i - start), i});
        }
    }
    return tokens;
}

bool isDigits(std::string_view s, std::size_t minLength, std::size_t maxLength) {
    return s.size() >= minLength && s.size() <= maxLength &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

int number(std::string_view digits) {
    int value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isMonth(std::string_view s) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (s.size() != 3) {
        return false;
    }
    std::string lower;
    for (char c : s) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return std::find(kMonths.begin(), kMonths.end(), lower) != kMonths.end();
}

bool isDay(std::string_view s) {
    return isDigits(s, 1, 2) && number(s) >= 1 && number(s) <= 31;
}

// "H:MM" or "HH:MM" (24-hour), optionally followed by ":SS".
bool isClock(std::string_view s) {
    std::size_t colon = s.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::string_view hours = s.substr(0, colon);
    std::string_view rest = s.substr(colon + 1);
    std::string_view minutes = rest.substr(0, rest.find(':'));
    if (rest.size() > minutes.size() && !isDigits(rest.substr(minutes.size() + 1), 2, 2)) {
        return false;
    }
    return isDigits(hours, 1, 2) && number(hours) <= 23 && isDigits(minutes, 2, 2) &&
           number(minutes) <= 59;
}

bool isYear(std::string_view s) {
    return isDigits(s, 4, 4);
}

// "YYYY-MM-DD", as ls prints with --time-style=long-iso.
bool isIsoDate(std::string_view s) {
    return s.size() == 10 && isDigits(s.substr(0, 4), 4, 4) && s[4] == '-' &&
           isDigits(s.substr(5, 2), 2, 2) && s[7] == '-' && isDigits(s.substr(8, 2), 2, 2);
}

bool isPermissions(std::string_view s) {
    static constexpr std::string_view kTypes = "-dlcbpsD";
    static constexpr std::string_view kModes = "rwxsStTlL-";
    if (s.size() < 10 || s.size() > 11 || kTypes.find(s[0]) == std::string_view::npos) {
        return false;
    }
    return std::all_of(s.begin() + 1, s.begin() + 10,
                       [](char c) { return kModes.find(c) != std::string_view::npos; });
}

std::uint64_t sizeOf(std::string_view digits) {
    std::uint64_t value = 0;
    for (char c : digits) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        }
    }
    return value;
}

std::optional<FindData> entry(std::uint32_t attributes, std::string_view name, std::string time,
                              std::uint64_t size = 0, bool link = false) {
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return FindData{attributes, shortenName(name), size, link, std::move(time)};
}

// The tokens from `first` to `last`, joined by single blanks.
std::string joined(const std::vector<Token>& tokens, std::size_t first, std::size_t last) {
    std::string text(tokens[first].text);
    for (std::size_t i = first + 1; i <= last; ++i) {
        text += " ";
        text += tokens[i].text;
    }
    return text;
}

std::optional<FindData> parseUnix(std::string_view line) {
    if (line.empty() || line[0] == ' ' || !isPermissions(tokenize(line, 1).front().text)) {
        return std::nullopt;
    }
    std::vector<Token> tokens = tokenize(line);
    if (tokens.size() < 4) {
        return std::nullopt;
    }
    // The date follows the size column, whatever stands between permissions and size.
    std::size_t dateEnd = 0;
    std::uint64_t size = 0;
    std::string time;
    for (std::size_t i = 2; i < tokens.size() && dateEnd == 0; ++i) {
        if (!isDigits(tokens[i - 1].text, 1, 20)) {
            continue;
        }
        size = sizeOf(tokens[i - 1].text);
        if (i + 2 < tokens.size() && isMonth(tokens[i].text) && isDay(tokens[i + 1].text) &&
            (isClock(tokens[i + 2].text) || isYear(tokens[i + 2].text))) {
            dateEnd = tokens[i + 2].end;
            time = joined(tokens, i, i + 2);
        } else if (i + 1 < tokens.size() && isIsoDate(tokens[i].text) &&
                   isClock(tokens[i + 1].text)) {
            dateEnd = tokens[i + 1].end;
            time = joined(tokens, i, i + 1);
        }
    }
    if (dateEnd == 0 || dateEnd + 1 >= line.size()) {
        return std::nullopt;
    }
    std::string_view name = line.substr(dateEnd + 1);
    const bool directory = tokens[0].text[0] == 'd';
    const bool link = tokens[0].text[0] == 'l';
    std::uint32_t attributes = directory ? attribute::kDirectory : attribute::kNormal;
    if (link) {
        std::size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos) {
            std::string_view target = name.substr(arrow + 4);
            name = name.substr(0, arrow);
            if (!target.empty() && target.back() == '/') {
                attributes = attribute::kDirectory;
            }
        }
    }
    return entry(attributes, name, std::move(time), directory ? 0 : size, link);
}

// "MM-DD-YY" or "MM-DD-YYYY", with "-" or "/".
bool isDosDate(std::string_view s) {
    if (s.size() != 8 && s.size() != 10) {
        return false;
    }
    char separator = s[2];
    return (separator == '-' || separator == '/') && s[5] == separator &&
           isDigits(s.substr(0, 2), 2, 2) && isDigits(s.substr(3, 2), 2, 2) &&
           isDigits(s.substr(6), 2, 4);
}

bool isMeridiem(std::string_view s) {
    return s.size() == 2 && (s[0] == 'A' || s[0] == 'P' || s[0] == 'a' || s[0] == 'p') &&
           (s[1] == 'M' || s[1] == 'm');
}

bool isDosTime(std::string_view s) {
    if (s.size() > 2 && isMeridiem(s.substr(s.size() - 2))) {
        s.remove_suffix(2);
    }
    return isClock(s);
}

bool isSize(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) {
        return std::isdigit(c) || c == ',' || c == '.';
    });
}

std::optional<FindData> parseDos(std::string_view line) {
    std::vector<Token> tokens = tokenize(line, 4);
    if (tokens.size() < 4 || !isDosDate(tokens[0].text) || !isDosTime(tokens[1].text)) {
        return std::nullopt;
    }
    std::size_t kind = 2;
    if (isMeridiem(tokens[2].text)) {
        kind = 3;
    }
    if (kind >= tokens.size()) {
        return std::nullopt;
    }
    const std::string time = joined(tokens, 0, kind - 1);
    std::size_t after = tokens[kind].end;
    if (tokens[kind].text == "<DIR>") {
        // IIS pads "<DIR>" with ten blanks up to the name column; a name that starts with
        // blanks keeps them. Other servers use a single blank.
        constexpr std::size_t kIisPadding = 10;
        std::size_t blanks = 0;
        while (after + blanks < line.size() && line[after + blanks] == ' ') {
            ++blanks;
        }
        std::size_t skip = blanks >= kIisPadding ? kIisPadding : blanks;
        return entry(attribute::kDirectory, line.substr(std::min(after + skip, line.size())), time);
    }
    if (!isSize(tokens[kind].text) || after + 1 >= line.size()) {
        return std::nullopt;
    }
    return entry(attribute::kNormal, line.substr(after + 1), time, sizeOf(tokens[kind].text));
}

}  // namespace

std::optional<FindData> parseListLine(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (auto unix = parseUnix(line)) {
        return unix;
    }
    return parseDos(line);
}

bool ListingReader::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        if (bytes_ >= maxBytes_ || listing_.entries.size() > maxEntries_) {
            cut();
            return false;
        }
        const std::size_t room = std::min(bytes.size(), maxBytes_ - bytes_);
        const std::size_t end = bytes.substr(0, room).find('\n');
        const std::size_t taken = end == std::string_view::npos ? room : end + 1;
        partial_.append(bytes.substr(0, std::min(taken, kMaxLineBytes - partial_.size())));
        bytes_ += taken;
        bytes.remove_prefix(taken);
        if (end != std::string_view::npos) {
            line(partial_);
            partial_.clear();
        }
    }
    return true;
}

void ListingReader::cut() {
    listing_.truncated = true;
    if (listing_.entries.size() > maxEntries_) {
        listing_.cutBy = Listing::Bound::kEntries;
        listing_.bound = maxEntries_;
        listing_.entries.resize(maxEntries_);
    } else {
        listing_.cutBy = Listing::Bound::kText;
        listing_.bound = maxBytes_;
    }
}

void ListingReader::line(std::string_view text) {
    if (auto parsed = parseListLine(text)) {
        listing_.entries.push_back(std::move(*parsed));
    }
}

Listing ListingReader::finish() {
    if (!partial_.empty() && bytes_ < maxBytes_) {
        line(partial_);
    }
    partial_.clear();
    if (listing_.entries.size() > maxEntries_ || bytes_ >= maxBytes_) {
        cut();
    }
    return std::move(listing_);
}

std::string shortenName(std::string_view name) {
    if (name.size() <= kMaxNameBytes) {
        return std::string(name);
    }
    std::size_t cut = kMaxNameBytes;
    // Step back over UTF-8 continuation bytes (at most three) so no character is split.
    for (int step = 0;
         step < 3 && cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80; ++step) {
        --cut;
    }
    if ((static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
        cut = kMaxNameBytes;  // not UTF-8 after all: cut at the byte limit
    }
    return std::string(name.substr(0, cut));
}

}  // namespace varnox::ftp
