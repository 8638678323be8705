#include "settings/item_reader.h"

namespace varnox::settings {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool endsUnquotedItem(char c) {
    return c == ',' || c == '\r' || c == '\n';
}

}  // namespace

ItemReader::ItemReader(std::string_view text) : text_(text) {
    if (text_.starts_with(kByteOrderMark)) {
        pos_ = kByteOrderMark.size();
    }
    skipBlanksAndBlankLines();
}

std::string ItemReader::next() {
    if (atEnd()) {
        return {};
    }
    itemDue_ = false;
    // Blanks before the item have already been skipped.
    if (pos_ < text_.size() && text_[pos_] == '"') {
        const std::size_t start = pos_ + 1;
        const std::size_t close = text_.find('"', start);
        if (close == std::string_view::npos) {
            pos_ = text_.size();
            return std::string(text_.substr(start));
        }
        std::string item(text_.substr(start, close - start));
        pos_ = close + 1;
        while (pos_ < text_.size() && !endsUnquotedItem(text_[pos_])) {
            ++pos_;
        }
        consumeSeparator();
        return item;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !endsUnquotedItem(text_[pos_])) {
        ++pos_;
    }
    std::size_t end = pos_;
    while (end > start && isBlank(text_[end - 1])) {
        --end;
    }
    std::string item(text_.substr(start, end - start));
    consumeSeparator();
    return item;
}

void ItemReader::skipBlanks() {
    while (pos_ < text_.size() && isBlank(text_[pos_])) {
        ++pos_;
    }
}

void ItemReader::skipBlanksAndBlankLines() {
    for (;;) {
        skipBlanks();
        if (!atLineEnd()) {
            return;
        }
        consumeLineEnd();
    }
}

bool ItemReader::atLineEnd() const {
    return pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n');
}

void ItemReader::consumeLineEnd() {
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
        pos_ += 2;
    } else {
        ++pos_;
    }
}

void ItemReader::consumeSeparator() {
    if (pos_ == text_.size()) {
        return;
    }
    if (text_[pos_] == ',') {
        ++pos_;
        itemDue_ = true;
        skipBlanks();
        return;
    }
    consumeLineEnd();
    skipBlanksAndBlankLines();
}

}  // namespace varnox::settings
