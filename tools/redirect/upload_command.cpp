// upload: every file the redirect is to hold that the server lacks or holds other than it was
// sent, over one connection; with --delete also the .uz files no package accounts for.
#include <stdlib.h>

#include "ftp/errors.h"
#include "platform/files.h"
#include "platform/progress_text.h"
#include "platform/system_errors.h"
#include "redirect/file_hash.h"
#include "redirect/remote_folder.h"
#include "redirect/target.h"
#include "redirect/upload_records.h"
#include "redirect/upload_turn.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

namespace {

std::string reasonFor(const PlannedUpload& item) {
    const std::string sizes = "the server's copy has " + std::to_string(item.server.size) +
                              " bytes, this one " +
                              std::to_string(item.local.facts ? item.local.facts->size : 0);
    if (!item.local.facts) {
        return "to be compressed first";
    }
    switch (item.verdict) {
        case CopyVerdict::kMissing:
            return "missing on the server";
        case CopyVerdict::kChangedHere:
            return "changed since it was uploaded";
        case CopyVerdict::kChangedThere:
            return "the server's copy changed after it was uploaded: now listed with " +
                   std::to_string(item.server.size) + " bytes, " + item.server.time;
        case CopyVerdict::kOtherBytes:
            return "the server's copy of the same size holds other bytes";
        default:
            return sizes;
    }
}

Line uploadLine(const PlannedUpload& item, bool done, bool deletedFirst) {
    const std::string& name = item.local.name;
    const std::uint64_t size = item.local.facts ? item.local.facts->size : 0;
    Line line{Line::Kind::kResult,
              done ? "uploaded  " + name + " (" + platform::describeBytes(size) + ", " +
                         reasonFor(item) + ")"
                   : "would upload  " + name + " (" + reasonFor(item) + ")",
              {{"event", std::string(done ? "uploaded" : "would-upload")},
               {"uz", name},
               {"reason", reasonFor(item)}}};
    if (done) {
        line.fields.push_back({"bytes", size});
        line.fields.push_back({"deleted_first", deletedFirst});
    }
    if (deletedFirst) {
        line.text += "; the server would not rename onto its old copy, so that was deleted first";
    }
    if (!item.server.otherCaseName.empty()) {
        line.text += "; the server also holds " + item.server.otherCaseName +
                     ", in another letter case, which clients do not ask for";
        line.fields.push_back({"server_other_case", item.server.otherCaseName});
    }
    return line;
}

// A folder of its own under the system's temporary folder, removed with what it holds.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "varnox-verify-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw platform::systemFailure(
                errno, "Cannot make a folder in " + fs::temp_directory_path().string());
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The file names (and for packages found nowhere, the names) whose .uz --delete keeps.
std::pair<std::vector<std::string>, std::vector<std::string>> kept(
    const LocalFolder& local, const std::vector<LocalUz>& served) {
    std::vector<std::string> files, names;
    for (const Package& package : local.packages()) {
        files.push_back(package.name);
    }
    for (const UnreadablePackage& package : local.unreadable()) {
        files.push_back(package.path.filename().string());
    }
    for (const LocalUz& file : served) {
        if (file.name.ends_with(".uz")) {
            files.push_back(file.name.substr(0, file.name.size() - 3));
        }
    }
    for (const game::MissingPackage& missing : local.list().missing) {
        names.push_back(missing.name);
    }
    return {files, names};
}

}  // namespace

std::uint64_t Commands::verifyCopies(Target& server, UploadPlan& plan, UploadRecords& records,
                                     std::uint64_t& failures) {
    std::uint64_t verified = 0;
    std::vector<PlannedUpload> stay;
    for (PlannedUpload& item : plan.kept) {
        if (item.verdict != CopyVerdict::kUnverified) {
            stay.push_back(std::move(item));
            continue;
        }
        try {
            const ScratchFolder scratch;
            server.get(item.local.name, scratch.path() / "copy");
            SentRecord record = UploadRecords::describe(item.local);
            if (sha256Of(scratch.path() / "copy") != record.sha256) {
                item.verdict = CopyVerdict::kOtherBytes;
                plan.uploads.push_back(std::move(item));
                continue;
            }
            records.sent(item.local.name, std::move(record));
            item.verdict = CopyVerdict::kSame;
            ++verified;
            out_.print({Line::Kind::kResult,
                        "verified  " + item.local.name + " (the server's copy holds its bytes)",
                        {{"event", std::string("verified")}, {"uz", item.local.name}}});
        } catch (const Failure& failure) {
            if (endsTheRun(failure)) {
                throw;
            }
            ++failures;
            failed(failure, item.local.name);
        }
        stay.push_back(std::move(item));
    }
    plan.kept = std::move(stay);
    return verified;
}

bool Commands::upload(const std::vector<Package>& pending) {
    const LocalFolder local = unchanged_ ? std::move(*unchanged_) : localFolder();
    std::uint64_t failures = reportList(local);
    const std::unique_ptr<Target> target = openTarget(setup_->server());
    Target& server = *target;
    const Watching watching(*this, server);
    server.connect();
    const bool dry = options_.dryRun;
    std::optional<UploadTurn> turn;
    if (!dry) {
        platform::ensureFolder(local.uzFolder());
        turn.emplace(local.uzFolder(), server, lockDeadline());
    }
    const RemoteFolder remote(server.list());
    UploadRecords records(server.key(), local.manifest().sentTo(server.key()));
    const std::vector<LocalUz> served = local.servedFiles(pending);
    UploadPlan plan = planUpload(served, remote, records.records());
    if (local.list().basis == PackageList::Basis::kNeeded && local.list().config.useCompression) {
        for (const Package& package : local.packages()) {
            if (!local.servedFile(package).facts &&
                std::none_of(pending.begin(), pending.end(),
                             [&](const Package& p) { return p.name == package.name; })) {
                warn(package.shownName() + " has no .uz to upload: compress it first");
            }
        }
    }
    for (const auto& [name, failure] : plan.failed) {
        ++failures;
        failed(failure, name);
    }
    failures += removeTemporaries(server, remote, turn ? &*turn : nullptr, local.uzFolder());
    for (const PlannedUpload& item : plan.kept) {
        if (item.verdict == CopyVerdict::kLink) {
            out_.print({Line::Kind::kResult,
                        "kept  " + item.local.name + " (the server holds a link of that name)",
                        {{"event", std::string("kept-link")}, {"uz", item.local.name}}});
        } else if (item.verdict == CopyVerdict::kSame) {
            records.refresh(item.local.name, *item.local.facts);
        }
    }
    const std::uint64_t verified =
        options_.verify && !dry ? verifyCopies(server, plan, records, failures) : 0;
    const auto unverified = static_cast<std::uint64_t>(std::count_if(
        plan.kept.begin(), plan.kept.end(),
        [](const PlannedUpload& item) { return item.verdict == CopyVerdict::kUnverified; }));
    std::uint64_t totalBytes = 0;
    for (const PlannedUpload& item : plan.uploads) {
        totalBytes += item.local.facts ? item.local.facts->size : 0;
    }
    std::uint64_t doneBytes = 0, uploaded = 0;
    std::size_t index = 0;
    for (const PlannedUpload& item : plan.uploads) {
        ++index;
        const std::string& name = item.local.name;
        if (item.verdict == CopyVerdict::kFolder) {
            ++failures;
            failed(InternetFailure(ftp::error::kExtendedError,
                                   "the server holds a folder of that name"),
                   name);
            continue;
        }
        if (dry) {
            out_.print(uploadLine(item, false, false));
            continue;
        }
        out_.startProgress([&] {
            return StepProgress{"uploading " + name + ", " + std::to_string(index) + " of " +
                                    std::to_string(plan.uploads.size()) + " files",
                                doneBytes + server.progress(), totalBytes};
        });
        try {
            // A file still to be compressed when the plan was made has its facts by now.
            PlannedUpload now = item;
            SentRecord record = UploadRecords::describe(now.local);
            now.local.facts = record.local;
            const bool deletedFirst = server.put(now.local.path, name);
            out_.stopProgress();
            ++uploaded;
            if (factsOf(now.local.path) == record.local) {
                records.sent(name, std::move(record));
            }
            out_.print(uploadLine(now, true, deletedFirst));
        } catch (const Failure& failure) {
            out_.stopProgress();
            ++failures;
            failed(failure, name);
            if (endsTheRun(failure)) {
                failed(InternetFailure(static_cast<std::uint32_t>(failure.number()),
                                       "The upload stops here; " +
                                           std::to_string(plan.uploads.size() - index) +
                                           " files were not tried"));
                break;
            }
        }
        doneBytes += item.local.facts ? item.local.facts->size : 0;
    }
    std::uint64_t deleted = 0;
    if (options_.remove) {
        const auto [files, names] = kept(local, served);
        deleted = removeOrphans(server, local, remote, records, files, names, failures);
    }
    if (!dry && records.changed()) {
        try {
            records.settle(RemoteFolder(server.list()));
        } catch (const Failure&) {
            // Kept without the server's word on what was sent: the next run compares sizes.
        }
        try {
            records.keep(local.uzFolder(), lockDeadline());
        } catch (const Failure& failure) {
            ++failures;
            failed(Failure(failure.number(), failure.description() +
                                                 "; what this upload sent is not recorded, so "
                                                 "the next run cannot tell it from a stranger's"));
        }
    }
    const std::string verb = dry ? "would upload " : "uploaded ";
    const std::uint64_t sent = dry ? plan.uploads.size() : uploaded;
    std::string text = "upload to " + serverName() + ": " + verb + std::to_string(sent) + ", " +
                       std::to_string(failures) + " failed, " + std::to_string(plan.kept.size()) +
                       " already there";
    if (unverified > 0) {
        text += " (" + std::to_string(unverified) +
                " unverified: of the right size, but no upload of this folder recorded them; "
                "--verify compares their bytes)";
    }
    Line summary{Line::Kind::kSummary,
                 text,
                 {{"event", std::string("summary")},
                  {"command", std::string("upload")},
                  {dry ? "would_upload" : "uploaded", sent},
                  {"failed", failures},
                  {"already_there", plan.kept.size()},
                  {"unverified", unverified},
                  {"verified", verified}}};
    if (options_.remove) {
        summary.text +=
            ", " + std::string(dry ? "would delete " : "deleted ") + std::to_string(deleted);
        summary.fields.push_back({dry ? "would_delete" : "deleted", deleted});
    }
    out_.print(summary);
    return failures == 0;
}

}  // namespace varnox::redirect
