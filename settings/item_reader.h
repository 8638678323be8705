#pragma once

// Reader of delimited text items, shared by the settings file and the game tool's log.
//
// The text is read as a flat sequence of items; reading does not go by lines.
//  - Blanks (space, tab) before an item are skipped.
//  - An item that starts with a double quote runs to the next double quote, which may lie
//    on a later line: a quoted item may hold commas and line ends. The quotes are not part
//    of the item, and blanks inside them are kept.
//  - Text after the closing quote up to the next comma or line end is ignored.
//  - A quote that is never closed runs to the end of the text.
//  - Any other item runs up to the next comma or line end; its trailing blanks are dropped.
//    A double quote inside it (not at its start) is an ordinary character.
//  - A comma or a line end (CR LF, LF or CR) ends an item and is consumed with it.
//  - A comma always promises one more item: "a," gives "a" and "", also at the end of the
//    text or of a line.
//  - Blank lines (empty or only blanks) hold no item and are skipped, so a hand-edited file
//    with blank lines between its records still pairs up.
//  - A UTF-8 byte order mark at the very start of the text is skipped.
//  - Every other byte, NUL included, is an ordinary character. Bytes are never converted.

#include <cstddef>
#include <string>
#include <string_view>

namespace varnox::settings {

class ItemReader {
public:
    // The reader keeps a view of `text`; the text must outlive it.
    explicit ItemReader(std::string_view text);

    // True when no item is left.
    bool atEnd() const { return !itemDue_ && pos_ == text_.size(); }

    // The next item with its separator consumed; the empty text once atEnd().
    std::string next();

private:
    void skipBlanks();
    void skipBlanksAndBlankLines();
    bool atLineEnd() const;
    void consumeLineEnd();
    void consumeSeparator();

    std::string_view text_;
    std::size_t pos_ = 0;
    // Set after a comma: an item follows even when the text or the line ends there.
    bool itemDue_ = false;
};

}  // namespace varnox::settings
