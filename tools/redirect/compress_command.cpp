// compress: every package whose .uz is missing or out of date, several at once.
#include <map>

#include "platform/files.h"
#include "platform/progress_text.h"
#include "redirect/bulk_compress.h"
#include "redirect/manifest.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

namespace {

std::string percentOf(std::uint64_t part, std::uint64_t whole) {
    return std::to_string(whole == 0 ? 0 : part * 100 / whole) + "%";
}

Line compressedLine(const Package& package, const CompressOutcome& outcome) {
    std::string text = "compressed  " + package.shownName() + " -> uz/" + package.uzName() + " (" +
                       platform::describeBytes(outcome.packageBytes) + " -> " +
                       platform::describeBytes(outcome.uzBytes) + ", " +
                       percentOf(outcome.uzBytes, outcome.packageBytes) + ")";
    if (outcome.uzBytes >= outcome.packageBytes) {
        text += "; not smaller than the package: clients before 469 cannot download it";
    }
    return {Line::Kind::kResult,
            text,
            {{"event", std::string("compressed")},
             {"package", package.shownName()},
             {"uz", package.uzName()},
             {"package_bytes", outcome.packageBytes},
             {"uz_bytes", outcome.uzBytes}}};
}

}  // namespace

bool Commands::compress(std::vector<Package>& pending) {
    std::optional<LocalFolder> local(localFolder());
    // What is to be done: a package whose .uz is missing or out of date, and with --verify
    // one whose .uz has no record, to be compared by decoding.
    auto workIn = [&](const LocalFolder& folder, std::vector<Package>& unrecorded) {
        std::vector<Package> work;
        for (const Package& package : folder.packages()) {
            const UzState state = folder.stateOf(package);
            if (state != UzState::kUpToDate) {
                work.push_back(package);
            } else if (options_.verify && !folder.recorded(package)) {
                unrecorded.push_back(package);
            }
        }
        return work;
    };
    std::vector<Package> unrecorded;
    std::vector<Package> work = workIn(*local, unrecorded);
    std::uint64_t compressed = 0;
    std::uint64_t failures = reportList(*local);
    if (options_.dryRun) {
        for (const Package& package : work) {
            const bool missing = local->stateOf(package) == UzState::kMissing;
            out_.print({Line::Kind::kResult,
                        "would compress  " + package.shownName() + " -> uz/" + package.uzName() +
                            (missing ? " (no .uz yet)" : " (its .uz is out of date)"),
                        {{"event", std::string("would-compress")},
                         {"package", package.shownName()},
                         {"uz", package.uzName()}}});
        }
        pending = work;
    } else if (!work.empty() || !unrecorded.empty()) {
        platform::ensureFolder(local->uzFolder());
        UzFolderLock lock(local->uzFolder(), lockDeadline());
        // Another run may have done some of the work while this one waited.
        local.emplace(localFolder());
        unrecorded.clear();
        work = workIn(*local, unrecorded);
        for (const std::string& name : lock.removeLeftovers()) {
            out_.print({Line::Kind::kResult,
                        "removed  uz/" + name + " (left by a run cut short)",
                        {{"event", std::string("removed")}, {"file", "uz/" + name}}});
        }
        Manifest manifest = local->manifest();
        for (const Package& package : unrecorded) {
            const fs::path uzFile = local->uzFolder() / package.uzName();
            if (decodesTo(uzFile, package.path)) {
                manifest.record(package.uzName(),
                                {local->uzFiles().at(package.uzName()), package.facts});
            } else {
                work.push_back(package);
            }
        }
        BulkCompressor compressor(options_.jobs);
        const Watching watching(*this, compressor);
        std::atomic<std::size_t> finished{0};
        out_.startProgress([&] {
            return StepProgress{"compressing, " + std::to_string(finished) + " of " +
                                    std::to_string(work.size()) + " packages",
                                compressor.doneBytes(), compressor.totalBytes()};
        });
        std::map<std::string, FileFacts> present = local->uzFiles();
        compressor.run(work, local->uzFolder(),
                       [&](const Package& package, const CompressOutcome& outcome) {
                           ++finished;
                           if (outcome.failure) {
                               ++failures;
                               failed(*outcome.failure, package.shownName());
                               return;
                           }
                           ++compressed;
                           out_.print(compressedLine(package, outcome));
                           try {
                               const FileFacts uz = factsOf(local->uzFolder() / package.uzName());
                               present[package.uzName()] = uz;
                               manifest.record(package.uzName(), {uz, package.facts});
                           } catch (const Failure&) {
                               // Without a record, the .uz is judged by its time.
                           }
                       });
        out_.stopProgress();
        manifest.keepOnly(present);
        manifest.write(local->uzFolder());
    }
    const std::size_t upToDate = local->packages().size() - work.size();
    const bool changed = !options_.dryRun && (!work.empty() || !unrecorded.empty());
    const std::string verb = options_.dryRun ? "would compress " : "compressed ";
    out_.print({Line::Kind::kSummary,
                "compress: " + verb + std::to_string(options_.dryRun ? work.size() : compressed) +
                    ", " + std::to_string(failures) + " failed, " + std::to_string(upToDate) +
                    " up to date",
                {{"event", std::string("summary")},
                 {"command", std::string("compress")},
                 {options_.dryRun ? "would_compress" : "compressed",
                  options_.dryRun ? work.size() : compressed},
                 {"failed", failures},
                 {"up_to_date", upToDate}}});
    if (!changed) {
        unchanged_ = std::move(local);  // what the upload after it finds as well
    }
    return failures == 0;
}

}  // namespace varnox::redirect
