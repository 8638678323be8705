#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ftp/listing.h"
#include "platform/failure.h"
#include "redirect/manifest.h"

// The redirect server's folder as a listing shows it, and what an upload has to do there.
// A client asks the server for a package's .uz by its exact name, letter case included, so
// names are compared exactly; a name that matches only in another letter case is reported,
// never taken for the file.
namespace varnox::redirect {

enum class ServerState {
    kMissing,  // no entry of that name
    kDiffers,  // a file of that name and another size
    kSame,     // a file of that name and the same size
    kLink,     // a symbolic link of that name: what it leads to is not looked at
    kFolder,   // a folder of that name: no file can go there
};

struct ServerCopy {
    ServerState state = ServerState::kMissing;
    std::uint64_t size = 0;     // as listed, for kDiffers and kSame
    std::string time;           // as listed, for kDiffers and kSame
    std::string otherCaseName;  // an entry with the name in another letter case, if any
};

class RemoteFolder {
public:
    explicit RemoteFolder(std::vector<ftp::FindData> entries);

    // What the folder holds under `name` for a local file of `size`; without a size (a file
    // still to be made) a file of that name counts as differing.
    ServerCopy copyOf(std::string_view name, std::optional<std::uint64_t> size) const;
    // The files an interrupted upload left under its temporary name.
    std::vector<std::string> leftovers() const;
    // The .uz files no package accounts for: ordinary, non-hidden files whose names end in
    // ".uz" (or ".UZ"), except those whose package is among `keepFiles` (file names,
    // "DM-A.unr") or, by its name alone, among `keepNames` (packages known only by name,
    // "DM-A"); letter case does not count, as the game does not count it.
    std::vector<std::string> orphans(const std::vector<std::string>& keepFiles,
                                     const std::vector<std::string>& keepNames) const;

    const std::vector<ftp::FindData>& entries() const { return entries_; }

private:
    std::vector<ftp::FindData> entries_;
    // Entry indices by name with A-Z lowered, in listing order.
    std::unordered_map<std::string, std::vector<std::size_t>> byFoldedName_;
};

// Whether a listing's time is the one listed before for the same file. Unix listings show
// the clock for recent files and the year for older ones, so "Jan 05 12:00" and
// "Jan 05 2025" may be the same time: then only month and day count. A time not listed
// (empty) says nothing, and counts as the same.
bool sameListedTime(std::string_view before, std::string_view now);

// Whether the local file holds what the record says was sent: its size and time are the
// recorded ones (its bytes are then taken as unchanged, as compress takes a package's), or
// its bytes have the recorded SHA-256. Throws varnox::Failure naming the file when it cannot
// be read.
bool holdsWhatWasSent(const LocalUz& local, const SentRecord& record);

// What the server's copy is, held against the local file and what this folder's uploads
// sent there.
enum class CopyVerdict {
    kMissing,       // not there
    kToBeMade,      // the local file is still to be compressed
    kOtherSize,     // no record, and another size than the local file
    kChangedHere,   // the local file is not what was sent
    kChangedThere,  // the listing shows another size or time than after the upload
    kSame,          // the local file is what was sent, and the server's copy is as it was left
    kUnverified,    // no record, and the local file's size: its bytes are not known
    kOtherBytes,    // unverified, then downloaded: it holds other bytes
    kLink,
    kFolder,
};
// Whether the verdict sends the file (again).
bool uploads(CopyVerdict verdict);

CopyVerdict judgeCopy(const ServerCopy& server, const LocalUz& local, const SentRecord* record,
                      bool holdsSent);

struct PlannedUpload {
    LocalUz local;
    ServerCopy server;
    CopyVerdict verdict = CopyVerdict::kMissing;
};

// What an upload does: remove the leftovers, then upload the files whose verdict says so.
// Files the server holds as they were sent, unverified, or as a link, stay. A file whose
// record cannot be held against it (it cannot be read) fails alone.
struct UploadPlan {
    std::vector<std::string> leftovers;
    std::vector<PlannedUpload> uploads;
    std::vector<PlannedUpload> kept;
    std::vector<std::pair<std::string, Failure>> failed;
};

UploadPlan planUpload(const std::vector<LocalUz>& local, const RemoteFolder& remote,
                      const std::map<std::string, SentRecord>& sent);

}  // namespace varnox::redirect
