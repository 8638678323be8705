#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading the text a server sends for LIST: Unix "ls -l" lines and DOS/IIS lines.
namespace varnox::ftp {

// File attribute values as the Windows find record carries them.
namespace attribute {
constexpr std::uint32_t kDirectory = 16;
constexpr std::uint32_t kNormal = 128;
}  // namespace attribute

// The longest name a find record holds: the classic record has 260 characters, one of them
// the closing NUL.
constexpr std::size_t kMaxNameBytes = 259;

// One directory entry, the part of the Windows find record that the FTP window reads.
// attributes is kDirectory for a directory and kNormal for everything else (files,
// symbolic links, devices); read-only is never reported, so every directory stays one the
// window can open. name is the entry's name as the server's bytes, never empty, never
// holding a NUL, at most kMaxNameBytes long (see shortenName).
// A symbolic link is marked as one: what it leads to is known only by trying it.
// time is the entry's date and time as the server listed them, blanks between the columns
// made single ("Jan 11 2021", "Dec 06 19:13", "2023-09-02 12:30", "03-04-21 09:00AM"): only
// to be compared with what the same server listed before, to the minute at best.
struct FindData {
    std::uint32_t attributes = 0;
    std::string name;
    std::uint64_t size = 0;  // as listed; 0 for directories and where none is given
    bool link = false;
    std::string time{};

    bool operator==(const FindData&) const = default;
};

// One LIST line as an entry, or nothing for lines that are not entries ("total 12",
// blank lines, text in a form neither parser knows). The line may end in LF or CRLF.
//
// Unix form: type and permissions, then any columns up to a date "Mon DD HH:MM",
// "Mon DD YYYY" or "YYYY-MM-DD HH:MM", then one blank, then the name. Everything after that
// single blank is the name, so inner, leading and trailing blanks survive. A symbolic link
// "name -> target" gives name; it is reported as a directory only when target ends in "/".
// Devices ("4, 64" in the size column) and any number of owner and group columns work.
//
// DOS/IIS form: "MM-DD-YY" or "MM-DD-YYYY", a time "hh:mmAM", "hh:mmPM" or "HH:MM", then
// "<DIR>" or a size, then one blank, then the name.
std::optional<FindData> parseListLine(std::string_view line);

// The most entries one listing takes (the window's lists were counted in 16-bit integers),
// and the most listing text read for them.
constexpr std::size_t kMaxListedEntries = 32767;
constexpr std::size_t kMaxListingBytes = 64 << 20;
// The most of one line that is read: no entry needs more (names have at most 255 bytes, link
// targets 4095), so the rest of a longer line is counted as listing text and dropped.
constexpr std::size_t kMaxLineBytes = 64 << 10;

struct Listing {
    // Which bound stopped a listing that the server had more of.
    enum class Bound { kNone, kEntries, kText };

    std::vector<FindData> entries;  // in the server's order
    bool truncated = false;         // the server had more than the bounds let in
    Bound cutBy = Bound::kNone;
    std::size_t bound = 0;  // the value of that bound: entries, or bytes of text
};

// Reads a listing as it arrives, line by line, and stops taking it at the bounds: after
// maxEntries entries or maxBytes of text, whichever comes first. Whatever the lines, it holds
// at most one line of kMaxLineBytes besides the entries.
class ListingReader {
public:
    explicit ListingReader(std::size_t maxEntries = kMaxListedEntries,
                           std::size_t maxBytes = kMaxListingBytes)
        : maxEntries_(maxEntries), maxBytes_(maxBytes) {}

    // Takes the next bytes; false once the listing has been cut and wants no more.
    bool feed(std::string_view bytes);
    // The entries read, the last line included when it had no line end.
    Listing finish();
    std::size_t entriesRead() const { return listing_.entries.size(); }

private:
    void line(std::string_view text);
    // Marks the listing truncated, by the bound it met.
    void cut();

    std::size_t maxEntries_;
    std::size_t maxBytes_;
    std::size_t bytes_ = 0;
    std::string partial_;
    Listing listing_;
};

// A name cut to at most kMaxNameBytes bytes, as the fixed field of a find record cuts it.
// The cut never splits a UTF-8 sequence, so the result is still text where the name was.
std::string shortenName(std::string_view name);

}  // namespace varnox::ftp
