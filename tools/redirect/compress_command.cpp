// compress: every package whose .uz is missing or older, several at once.
#include "platform/files.h"
#include "platform/progress_text.h"
#include "redirect/bulk_compress.h"
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
    if (outcome.uzBytes > outcome.packageBytes) {
        text += "; larger than the package: old clients cannot download it";
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
    const LocalFolder local(game::GameFolder(setup_->gameFolder()), options_.withSystem);
    std::vector<Package> work;
    for (const Package& package : local.packages()) {
        if (local.stateOf(package) != UzState::kUpToDate) {
            work.push_back(package);
        }
    }
    const std::size_t upToDate = local.packages().size() - work.size();
    std::uint64_t compressed = 0;
    std::uint64_t failures = 0;
    if (options_.dryRun) {
        for (const Package& package : work) {
            const bool missing = local.stateOf(package) == UzState::kMissing;
            out_.print({Line::Kind::kResult,
                        "would compress  " + package.shownName() + " -> uz/" + package.uzName() +
                            (missing ? " (no .uz yet)" : " (its .uz is older)"),
                        {{"event", std::string("would-compress")},
                         {"package", package.shownName()},
                         {"uz", package.uzName()}}});
        }
        pending = work;
    } else if (!work.empty()) {
        if (!platform::folderExists(local.uzFolder())) {
            platform::createFolder(local.uzFolder());
        }
        UzFolderLock lock(local.uzFolder());
        for (const std::string& name : lock.removeLeftovers()) {
            out_.print({Line::Kind::kResult,
                        "removed  uz/" + name + " (left by a run cut short)",
                        {{"event", std::string("removed")}, {"file", "uz/" + name}}});
        }
        BulkCompressor compressor(options_.jobs);
        std::atomic<std::size_t> finished{0};
        out_.startProgress([&] {
            return StepProgress{"compressing, " + std::to_string(finished) + " of " +
                                    std::to_string(work.size()) + " packages",
                                compressor.doneBytes(), compressor.totalBytes()};
        });
        compressor.run(work, local.uzFolder(),
                       [&](const Package& package, const CompressOutcome& outcome) {
                           ++finished;
                           if (outcome.failure) {
                               ++failures;
                               failed(*outcome.failure, package.shownName());
                           } else {
                               ++compressed;
                               out_.print(compressedLine(package, outcome));
                           }
                       });
        out_.stopProgress();
    }
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
    return failures == 0;
}

}  // namespace varnox::redirect
