// What an upload removes from the server folder: temporary names no live run owns, and with
// --delete the .uz files no package accounts for.
#include "redirect/remote_folder.h"
#include "redirect/target.h"
#include "redirect/upload_records.h"
#include "redirect/upload_turn.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

namespace {

std::vector<ListedTemporary> temporariesOf(const RemoteFolder& remote) {
    std::vector<ListedTemporary> listed;
    for (const std::string& name : remote.leftovers()) {
        for (const ftp::FindData& entry : remote.entries()) {
            if (entry.name == name) {
                listed.push_back({name, entry.size});
            }
        }
    }
    return listed;
}

}  // namespace

std::uint64_t Commands::removeFromServer(Target& server, const std::string& name,
                                         const std::string& why) {
    const bool dry = options_.dryRun;
    try {
        if (!dry) {
            server.remove(name);
        }
        out_.print({Line::Kind::kResult,
                    std::string(dry ? "would remove  " : "removed  ") + name + " (" + why + ")",
                    {{"event", std::string(dry ? "would-remove" : "removed")}, {"file", name}}});
        return 0;
    } catch (const Failure& failure) {
        if (endsTheRun(failure)) {
            throw;  // reported by the run
        }
        failed(failure, name);
        return 1;
    }
}

std::uint64_t Commands::removeTemporaries(Target& server, const RemoteFolder& remote,
                                          UploadTurn* turn, const fs::path& uzFolder) {
    const std::vector<ListedTemporary> temporaries = temporariesOf(remote);
    const TemporaryVerdicts verdicts = turn != nullptr
                                           ? turn->judge(temporaries)
                                           : UploadTurn::peek(uzFolder, server, temporaries);
    std::uint64_t failures = 0;
    for (const std::string& name : verdicts.abandoned) {
        failures += removeFromServer(server, name, "left on the server by an upload cut short");
    }
    for (const std::string& name : verdicts.kept) {
        const auto settle = std::chrono::minutes(TemporarySightings::kSettle).count();
        out_.print({Line::Kind::kResult,
                    "kept  " + name +
                        " (another run may still be sending it; removed once its "
                        "size has stayed the same for " +
                        std::to_string(settle) + " minutes)",
                    {{"event", std::string("kept-temporary")}, {"file", name}}});
    }
    return failures;
}

std::uint64_t Commands::removeOrphans(Target& server, const LocalFolder& local,
                                      const RemoteFolder& remote, UploadRecords& records,
                                      const std::vector<std::string>& keepFiles,
                                      const std::vector<std::string>& keepNames,
                                      std::uint64_t& failures) {
    if (!local.list().failures.empty()) {
        warn(
            "Nothing is deleted from the server: some packages or folders could not be read, "
            "so what they need is not known");
        return 0;
    }
    std::uint64_t deleted = 0;
    for (const std::string& name : remote.orphans(keepFiles, keepNames)) {
        const std::uint64_t failed =
            removeFromServer(server, name,
                             local.list().basis == PackageList::Basis::kNeeded
                                 ? "its package is not needed"
                                 : "its package is not in the game folder");
        failures += failed;
        if (failed == 0) {
            ++deleted;
            if (!options_.dryRun) {
                records.removed(name);
            }
        }
    }
    return deleted;
}

}  // namespace varnox::redirect
