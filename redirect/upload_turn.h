#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/lock_file.h"
#include "redirect/target.h"

// Runs that upload into one server folder, and the temporary names they leave there.
namespace varnox::redirect {

// A temporary upload name as a listing shows it.
struct ListedTemporary {
    std::string name;
    std::uint64_t size = 0;
};

// What becomes of the temporary names in a server folder.
struct TemporaryVerdicts {
    std::vector<std::string> abandoned;  // no live run can own these: to be removed
    std::vector<std::string> kept;       // a live run may still be sending these
};

// The temporary names the runs of this machine saw in one server folder: each with the size
// it had and since when (seconds since the epoch). An upload writes to its temporary name
// until it is complete, and a transfer that stops making progress is ended by its own run,
// which removes that name; so a name that has kept its size for kSettle belongs to no live
// run, whichever machine it came from, and may be removed.
//
// Kept as lines of the upload lock file: "seen NAME SIZE SINCE", names escaped as in the
// manifest; a line of any other kind or form is left out.
class TemporarySightings {
public:
    static constexpr std::chrono::minutes kSettle{10};

    static TemporarySightings parse(const std::string& text);
    std::string text() const;

    // Sorts the names listed now into those to remove and those to keep, and remembers the
    // kept ones as seen now (a name no longer listed is forgotten).
    TemporaryVerdicts judge(const std::vector<ListedTemporary>& listed,
                            std::chrono::system_clock::time_point now);

private:
    struct Seen {
        std::uint64_t size = 0;
        std::int64_t since = 0;
    };
    std::map<std::string, Seen> seen_;
};

// One upload into a server folder at a time from this machine: a lock on a hidden file in the
// uz folder named for the server and the folder, which also keeps the temporary-name
// sightings. A run waits for the one before until `deadline`.
class UploadTurn {
public:
    // Throws varnox::Failure ("Another run is uploading to ...") when the wait ends first.
    UploadTurn(const std::filesystem::path& uzFolder, const Target& target,
               std::chrono::steady_clock::time_point deadline);

    // The file's name for a server and folder: readable, and unique through a hash.
    static std::string fileName(const std::string& server, const std::string& folder);

    // As TemporarySightings::judge, kept in the lock file for the next run.
    TemporaryVerdicts judge(const std::vector<ListedTemporary>& listed);
    // The same judgement without the lock and without keeping anything, for a dry run.
    static TemporaryVerdicts peek(const std::filesystem::path& uzFolder, const Target& target,
                                  const std::vector<ListedTemporary>& listed);

private:
    std::unique_ptr<platform::LockFile> lock_;
};

}  // namespace varnox::redirect
