#include "ftp/window/remote_listing.h"

#include "ftp/errors.h"

namespace varnox::ftpwin {

bool isDirectoryEntry(std::uint32_t attributes) {
    return attributes <= 0xFFFF && (attributes & ftp::attribute::kDirectory) != 0;
}

void RemoteListing::clear() {
    colNames.clear();
    colAttributes.clear();
}

ListingEnd readCurrentDirectory(ftp::Transport& transport, ftp::Handle connection,
                                RemoteListing& listing) {
    ListingEnd end;
    ftp::FindData entry;
    ftp::Handle find = transport.ftpFindFirstFile(connection, "*.*", entry, 0, 0);
    if (find == ftp::kNoHandle) {
        std::uint32_t error = ftp::lastError();
        if (error == ftp::error::kNoMoreFiles) {
            end.kind = ListingEnd::Kind::kEmpty;
        } else {
            end.kind = ListingEnd::Kind::kFailed;
            end.failedCall = "FtpFindFirstFile";
            end.error = error;
        }
        return end;
    }
    std::size_t taken = 0;
    while (true) {
        if (taken == kMaxListedEntries) {
            // One entry past the limit says whether anything was left out.
            end.truncated = true;
            break;
        }
        listing.colAttributes.push_back(entry.attributes);
        listing.colNames.push_back(entry.name);
        ++taken;
        entry = ftp::FindData{};
        if (!transport.internetFindNextFile(find, entry)) {
            std::uint32_t error = ftp::lastError();
            if (error != ftp::error::kNoMoreFiles) {
                end.kind = ListingEnd::Kind::kFailed;
                end.failedCall = "InternetFindNextFile";
                end.error = error;
            }
            break;
        }
    }
    transport.internetCloseHandle(find);
    return end;
}

}  // namespace varnox::ftpwin
