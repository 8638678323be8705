// upload: every .uz of the uz folder that the server lacks or holds with another size, over
// one connection.
#include "ftp/address.h"
#include "ftp/errors.h"
#include "ftp/sftp_address.h"
#include "platform/files.h"
#include "platform/progress_text.h"
#include "redirect/remote_folder.h"
#include "redirect/server.h"
#include "redirect/upload_turn.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

namespace {

std::vector<LocalUz> localFiles(const LocalFolder& local, const std::vector<Package>& pending) {
    std::map<std::string, LocalUz> files;
    for (const auto& [name, facts] : local.uzFiles()) {
        files[name] = {name, local.uzFolder() / name, facts.size};
    }
    for (const Package& package : pending) {
        files[package.uzName()] = {package.uzName(), local.uzFolder() / package.uzName(), {}};
    }
    std::vector<LocalUz> list;
    for (auto& [name, file] : files) {
        list.push_back(std::move(file));
    }
    return list;
}

std::string reasonFor(const PlannedUpload& item) {
    if (!item.local.size) {
        return "to be compressed first";
    }
    if (item.server.state == ServerState::kMissing) {
        return "missing on the server";
    }
    return "the server's copy has " + std::to_string(item.server.size) + " bytes, this one " +
           std::to_string(*item.local.size);
}

// The server's key for the upload lock: its host and port as the transport reads them.
std::string serverKey(const std::string& server) {
    std::uint32_t error = 0;
    if (ftp::isSftpAddress(server)) {
        const std::optional<ftp::SftpAddress> address = ftp::parseSftpAddress(server, error);
        return address ? address->host + ":" + std::to_string(address->port) : server;
    }
    const std::optional<ftp::Endpoint> endpoint = ftp::parseEndpoint(server, 0, error);
    return endpoint ? endpoint->host + ":" + std::to_string(endpoint->port) : server;
}

std::vector<ListedTemporary> temporariesOf(const std::vector<std::string>& names,
                                           const std::vector<ftp::FindData>& entries) {
    std::vector<ListedTemporary> listed;
    for (const std::string& name : names) {
        for (const ftp::FindData& entry : entries) {
            if (entry.name == name) {
                listed.push_back({name, entry.size});
            }
        }
    }
    return listed;
}

Line uploadLine(const PlannedUpload& item, bool done, bool deletedFirst) {
    const std::string& name = item.local.name;
    Line line{Line::Kind::kResult,
              done ? "uploaded  " + name + " (" + platform::describeBytes(*item.local.size) + ", " +
                         reasonFor(item) + ")"
                   : "would upload  " + name + " (" + reasonFor(item) + ")",
              {{"event", std::string(done ? "uploaded" : "would-upload")},
               {"uz", name},
               {"reason", reasonFor(item)}}};
    if (done) {
        line.fields.push_back({"bytes", *item.local.size});
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

}  // namespace

bool Commands::upload(const std::vector<Package>& pending) {
    const LocalFolder local(game::GameFolder(setup_->gameFolder()), false);
    RedirectServer server(setup_->server());
    const Watching watching(*this, server);
    server.connect();
    const bool dry = options_.dryRun;
    std::optional<UploadTurn> turn;
    if (!dry) {
        platform::ensureFolder(local.uzFolder());
        turn.emplace(local.uzFolder(), serverKey(setup_->server().login.server), server.folder(),
                     lockDeadline());
    }
    const std::vector<ftp::FindData> entries = server.list();
    const UploadPlan plan = planUpload(localFiles(local, pending), RemoteFolder(entries));
    const std::vector<ListedTemporary> temporaries = temporariesOf(plan.leftovers, entries);
    const TemporaryVerdicts verdicts =
        turn ? turn->judge(temporaries)
             : UploadTurn::peek(local.uzFolder(), serverKey(setup_->server().login.server),
                                server.folder(), temporaries);
    std::uint64_t uploaded = 0;
    std::uint64_t failures = 0;
    for (const std::string& name : verdicts.abandoned) {
        try {
            if (!dry) {
                server.remove(name);
            }
            out_.print(
                {Line::Kind::kResult,
                 std::string(dry ? "would remove  " : "removed  ") + name +
                     " (left on the server by an upload cut short)",
                 {{"event", std::string(dry ? "would-remove" : "removed")}, {"file", name}}});
        } catch (const Failure& failure) {
            if (endsTheRun(failure)) {
                throw;  // reported by the run
            }
            ++failures;
            failed(failure, name);
        }
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
    for (const PlannedUpload& item : plan.kept) {
        if (item.server.state == ServerState::kLink) {
            out_.print({Line::Kind::kResult,
                        "kept  " + item.local.name + " (the server holds a link of that name)",
                        {{"event", std::string("kept-link")}, {"uz", item.local.name}}});
        }
    }
    std::uint64_t totalBytes = 0;
    for (const PlannedUpload& item : plan.uploads) {
        totalBytes += item.local.size.value_or(0);
    }
    std::uint64_t doneBytes = 0;
    std::size_t index = 0;
    for (const PlannedUpload& item : plan.uploads) {
        ++index;
        const std::string& name = item.local.name;
        if (item.server.state == ServerState::kFolder) {
            ++failures;
            failed(Failure(static_cast<int>(ftp::error::kExtendedError),
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
                                doneBytes + server.progress().bytes, totalBytes};
        });
        try {
            const bool deletedFirst = server.put(item.local.path, name);
            out_.stopProgress();
            ++uploaded;
            out_.print(uploadLine(item, true, deletedFirst));
        } catch (const Failure& failure) {
            out_.stopProgress();
            ++failures;
            failed(failure, name);
            if (endsTheRun(failure)) {
                failed(Failure(failure.number(), "The upload stops here; " +
                                                     std::to_string(plan.uploads.size() - index) +
                                                     " files were not tried"));
                break;
            }
        }
        doneBytes += item.local.size.value_or(0);
    }
    const std::string verb = dry ? "would upload " : "uploaded ";
    out_.print({Line::Kind::kSummary,
                "upload to " + serverName() + ": " + verb +
                    std::to_string(dry ? plan.uploads.size() : uploaded) + ", " +
                    std::to_string(failures) + " failed, " + std::to_string(plan.kept.size()) +
                    " already there",
                {{"event", std::string("summary")},
                 {"command", std::string("upload")},
                 {dry ? "would_upload" : "uploaded", dry ? plan.uploads.size() : uploaded},
                 {"failed", failures},
                 {"already_there", plan.kept.size()}}});
    return failures == 0;
}

}  // namespace varnox::redirect
