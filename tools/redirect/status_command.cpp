// status: where each package's .uz stands, here and on the server.
#include <map>
#include <optional>

#include "redirect/manifest.h"
#include "redirect/remote_folder.h"
#include "redirect/server.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

namespace {

struct Words {
    const char* json;
    const char* text;
};

// Indexed by UzState and ServerState.
constexpr Words kUzWords[] = {
    {"missing", "no .uz"}, {"older", ".uz older"}, {"up_to_date", ".uz up to date"}};
constexpr Words kServerWords[] = {{"missing", "server: missing"},
                                  {"differs", "server: other size"},
                                  {"same", "server: same size"},
                                  {"link", "server: a link"},
                                  {"folder", "server: a folder"}};

Words uzWords(UzState state) {
    return kUzWords[static_cast<int>(state)];
}

Words serverWords(ServerState state, bool haveUz) {
    if (state == ServerState::kDiffers && !haveUz) {
        return {"present", "server: has it"};
    }
    return kServerWords[static_cast<int>(state)];
}

std::string padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

}  // namespace

bool Commands::status() {
    const LocalFolder local(game::GameFolder(setup_->gameFolder()), options_.withSystem);
    bool ok = reportUnreadable(local) == 0;
    if (const auto& problem = local.manifest().problem()) {
        warn(*problem);
    }
    std::optional<RemoteFolder> remote;
    if (setup_->hasServer()) {
        try {
            RedirectServer server(setup_->server());
            const Watching watching(*this, server);
            server.connect();
            remote.emplace(server.list());
        } catch (const Failure& failure) {
            failed(failure);
            ok = false;
        }
    }
    std::map<std::string, std::uint64_t> counts;
    for (const Package& package : local.packages()) {
        const auto uz = local.uzFiles().find(package.uzName());
        const bool haveUz = uz != local.uzFiles().end();
        const Words uzState = uzWords(local.stateOf(package));
        ++counts[std::string("uz_") + uzState.json];
        Line line{Line::Kind::kResult,
                  padded(uzState.text, 16),
                  {{"event", std::string("status")},
                   {"package", package.shownName()},
                   {"uz", std::string(uzState.json)}}};
        std::string note;
        if (remote) {
            const ServerCopy copy = remote->copyOf(
                package.uzName(), haveUz ? std::optional(uz->second.size) : std::nullopt);
            const Words serverState = serverWords(copy.state, haveUz);
            ++counts[std::string("server_") + serverState.json];
            line.text += padded(serverState.text, 20);
            line.fields.push_back({"server", std::string(serverState.json)});
            if (!copy.otherCaseName.empty()) {
                ++counts["server_other_case"];
                note = " (the server holds " + copy.otherCaseName +
                       ": another letter case, which clients do not ask for)";
                line.fields.push_back({"server_other_case", copy.otherCaseName});
            }
        }
        line.text += package.shownName() + note;
        out_.print(line);
    }
    std::string summary = std::to_string(local.packages().size()) +
                          " packages: " + std::to_string(counts["uz_up_to_date"]) +
                          " up to date, " + std::to_string(counts["uz_older"]) +
                          " with an older .uz, " + std::to_string(counts["uz_missing"]) +
                          " without .uz";
    if (remote) {
        summary += "; on " + serverName() + ": " + std::to_string(counts["server_missing"]) +
                   " missing, " + std::to_string(counts["server_differs"]) + " of another size, " +
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
