#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ftp/transport.h"

// Reading one remote directory for the FTP window's tree.
namespace varnox::ftpwin {

// The most entries one listing takes; the window's lists were counted in 16-bit integers.
constexpr std::size_t kMaxListedEntries = 32767;

// Whether an entry is a directory: its attribute value fits 16 bits and has the directory
// bit (16) set, so a read-only directory (17) counts too. A larger value is a file.
bool isDirectoryEntry(std::uint32_t attributes);

// The entries of the last listing, in the order the server gave them: names and attribute
// values, index-aligned.
struct RemoteListing {
    std::vector<std::string> colNames;
    std::vector<std::uint32_t> colAttributes;

    void clear();
    bool empty() const { return colNames.empty(); }
    std::size_t size() const { return colNames.size(); }
};

// How a listing ended.
struct ListingEnd {
    enum class Kind {
        kComplete,  // every entry was read (or the first kMaxListedEntries of them)
        kEmpty,     // the directory has no entries
        kFailed,    // a call failed: failedCall and error say which and why
    };
    Kind kind = Kind::kComplete;
    const char* failedCall = nullptr;  // "FtpFindFirstFile" or "InternetFindNextFile"
    std::uint32_t error = 0;
    // The directory held more than kMaxListedEntries entries; the rest were left out.
    bool truncated = false;
};

// Lists the connection's current directory with pattern "*.*" and appends its entries to
// listing, at most kMaxListedEntries of them. Entries read before a failure stay in the
// listing. The find handle is closed before returning, whatever ended the listing.
ListingEnd readCurrentDirectory(ftp::Transport& transport, ftp::Handle connection,
                                RemoteListing& listing);

}  // namespace varnox::ftpwin
