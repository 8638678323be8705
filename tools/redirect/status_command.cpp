// status: where each package's .uz stands, here and on the server.
#include <map>
#include <optional>

#include "redirect/manifest.h"
#include "redirect/remote_folder.h"
#include "redirect/target.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

namespace {

struct Words {
    const char* json;
    const char* text;
};

// Indexed by UzState.
constexpr Words kUzWords[] = {
    {"missing", "no .uz"}, {"older", ".uz older"}, {"up_to_date", ".uz up to date"}};

Words uzWords(UzState state) {
    return kUzWords[static_cast<int>(state)];
}

Words serverWords(CopyVerdict verdict) {
    switch (verdict) {
        case CopyVerdict::kMissing:
            return {"missing", "server: missing"};
        case CopyVerdict::kToBeMade:
            return {"present", "server: has it"};
        case CopyVerdict::kOtherSize:
            return {"differs", "server: other size"};
        case CopyVerdict::kChangedHere:
        case CopyVerdict::kChangedThere:
        case CopyVerdict::kOtherBytes:
            return {"differs", "server: differs"};
        case CopyVerdict::kSame:
            return {"same", "server: same"};
        case CopyVerdict::kUnverified:
            return {"unverified", "server: unverified"};
        case CopyVerdict::kLink:
            return {"link", "server: a link"};
        case CopyVerdict::kFolder:
            break;
    }
    return {"folder", "server: a folder"};
}

// What a person should know about a server copy besides its state.
std::string serverNote(const PlannedUpload& item) {
    switch (item.verdict) {
        case CopyVerdict::kChangedHere:
            return "this file is not the one uploaded last";
        case CopyVerdict::kChangedThere:
            return "the server's copy changed after it was uploaded";
        case CopyVerdict::kUnverified:
            return "no upload of this folder recorded it; upload --verify compares its bytes";
        default:
            return {};
    }
}

// The server's verdict on each file the redirect is to hold, by name.
std::map<std::string, PlannedUpload> verdictsByName(const UploadPlan& plan) {
    std::map<std::string, PlannedUpload> verdicts;
    for (const auto* items : {&plan.uploads, &plan.kept}) {
        for (const PlannedUpload& item : *items) {
            verdicts[item.local.name] = item;
        }
    }
    return verdicts;
}

}  // namespace

bool Commands::status() {
    const LocalFolder local = localFolder();
    bool ok = reportList(local) == 0;
    const bool byNeed = local.list().basis == PackageList::Basis::kNeeded;
    std::optional<RemoteFolder> remote;
    std::map<std::string, PlannedUpload> verdicts;
    if (setup_->hasServer()) {
        try {
            const std::unique_ptr<Target> target = openTarget(setup_->server());
            Target& server = *target;
            const Watching watching(*this, server);
            server.connect();
            remote.emplace(server.list());
            const UploadPlan plan =
                planUpload(local.servedFiles({}), *remote, local.manifest().sentTo(server.key()));
            for (const auto& [name, failure] : plan.failed) {
                failed(failure, name);
                ok = false;
            }
            verdicts = verdictsByName(plan);
        } catch (const Failure& failure) {
            failed(failure);
            ok = false;
        }
    }
    std::map<std::string, std::uint64_t> counts;
    for (const Package& package : local.packages()) {
        const auto uz = local.uzFiles().find(package.uzName());
        const Words uzState = uzWords(local.stateOf(package));
        ++counts[std::string("uz_") + uzState.json];
        Line line{Line::Kind::kResult,
                  padded(uzState.text, 16),
                  {{"event", std::string("status")},
                   {"package", package.shownName()},
                   {"uz", std::string(uzState.json)}}};
        std::vector<std::string> notes;
        if (byNeed && (package.serverPackages || !package.neededBy.empty())) {
            notes.push_back(reasonText(package.serverPackages, package.neededBy));
        }
        if (uz != local.uzFiles().end() && uz->second.size >= package.facts.size) {
            ++counts["uz_too_large"];
            notes.push_back(
                "the .uz is not smaller than the package: clients before 469 "
                "cannot download it");
        }
        if (remote) {
            const LocalUz served = local.servedFile(package);
            PlannedUpload item;
            if (const auto verdict = verdicts.find(served.name); verdict != verdicts.end()) {
                item = verdict->second;
            } else {
                item.server = remote->copyOf(served.name, std::nullopt);
                item.verdict = judgeCopy(item.server, {}, nullptr, false);
            }
            const Words serverState = serverWords(item.verdict);
            ++counts[std::string("server_") + serverState.json];
            line.text += padded(serverState.text, 20);
            line.fields.push_back({"server", std::string(serverState.json)});
            if (const std::string note = serverNote(item); !note.empty()) {
                notes.push_back(note);
            }
            if (!item.server.otherCaseName.empty()) {
                ++counts["server_other_case"];
                notes.push_back("the server holds " + item.server.otherCaseName +
                                ": another letter case, which clients do not ask for");
                line.fields.push_back({"server_other_case", item.server.otherCaseName});
            }
        }
        if (byNeed) {
            line.fields.push_back({"needed_by", package.neededBy});
            line.fields.push_back({"server_packages", package.serverPackages});
        }
        if (uz != local.uzFiles().end()) {
            line.fields.push_back({"uz_too_large", uz->second.size >= package.facts.size});
        }
        line.text += package.shownName();
        for (std::size_t i = 0; i < notes.size(); ++i) {
            line.text += (i == 0 ? " (" : "; ") + notes[i] + (i + 1 == notes.size() ? ")" : "");
        }
        out_.print(line);
    }
    std::string summary = std::to_string(local.packages().size()) +
                          " packages: " + std::to_string(counts["uz_up_to_date"]) +
                          " up to date, " + std::to_string(counts["uz_older"]) +
                          " with an older .uz, " + std::to_string(counts["uz_missing"]) +
                          " without .uz, " + std::to_string(counts["uz_too_large"]) +
                          " with a .uz not smaller than the package";
    if (remote) {
        summary += "; on " + serverName() + ": " + std::to_string(counts["server_missing"]) +
                   " missing, " + std::to_string(counts["server_differs"]) + " differing, " +
                   std::to_string(counts["server_unverified"]) + " unverified, " +
                   std::to_string(counts["server_other_case"]) + " in another letter case";
    }
    Line line{Line::Kind::kSummary,
              summary,
              {{"event", std::string("summary")},
               {"command", std::string("status")},
               {"packages", local.packages().size()}}};
    for (const auto& [key, count] : counts) {
        line.fields.push_back({key, count});
    }
    out_.print(line);
    return ok;
}

}  // namespace varnox::redirect
