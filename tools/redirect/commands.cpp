#include "tools/redirect/commands.h"

#include <unistd.h>

#include <new>

#include "ftp/errors.h"
#include "platform/signal_cleanup.h"

namespace varnox::redirect {

namespace {

// How long a run waits for another that holds the uz folder or the server folder.
constexpr auto kLongestLockWait = std::chrono::seconds(60);
// How long a stopped run may take to end by itself (a cancelled upload removes its temporary
// name on the server, with short time-outs of its own) before it is ended the hard way.
constexpr auto kGrace = std::chrono::seconds(10);

}  // namespace

int Commands::run() {
    watchdog_ = std::make_unique<Watchdog>(
        options_.timeout, kGrace, [this] { stopWork(); }, [this] { abandon(); });
    bool ok = true;
    try {
        setup_.emplace(options_.setup);
        std::vector<Package> pending;
        switch (options_.command) {
            case Command::kStatus:
                ok = status();
                break;
            case Command::kNeeds:
                ok = needs();
                break;
            case Command::kCheck:
                ok = check();
                break;
            case Command::kCompress:
                ok = compress(pending);
                break;
            case Command::kUpload:
                ok = upload(pending);
                break;
            case Command::kSync:
                ok = compress(pending);
                ok = !watchdog_->expired() && upload(pending) && ok;
                break;
            case Command::kTrust:
                ok = trust();
                break;
            case Command::kHelp:
            case Command::kVersion:
                break;
        }
    } catch (const Failure& failure) {
        out_.stopProgress();
        failed(failure);
        ok = false;
    } catch (const std::bad_alloc&) {
        out_.stopProgress();
        failed(Failure(failure::kOutOfMemory, "Not enough memory to go on"));
        ok = false;
    } catch (const std::exception& error) {
        out_.stopProgress();
        failed(Failure(failure::kInternalError, std::string("Stopped: ") + error.what()));
        ok = false;
    }
    watchdog_->end();
    if (watchdog_->expired()) {
        out_.print(timedOut());
        return kExitFailure;
    }
    return ok ? kExitSuccess : kExitFailure;
}

void Commands::stopWork() {
    std::lock_guard lock(watched_);
    if (server_ != nullptr) {
        server_->stop();
    }
    if (compressor_ != nullptr) {
        compressor_->stop();
    }
    if (check_ != nullptr) {
        check_->cancel();
    }
}

void Commands::abandon() {
    // The codec's temporary files go; the process ends without waiting for its threads.
    platform::removeTemporaryFilesNow();
    out_.print(timedOut());
    ::_exit(kExitFailure);
}

Line Commands::timedOut() const {
    const std::string seconds = std::to_string(options_.timeout ? options_.timeout->count() : 0);
    const std::string text = "The run took longer than --timeout " + seconds +
                             " s: it stopped and removed its temporary files";
    return {Line::Kind::kFailure,
            "error: " + text + " (error " + std::to_string(ftp::error::kTimeout) + ")",
            {{"event", std::string("error")},
             {"number", static_cast<std::uint64_t>(ftp::error::kTimeout)},
             {"message", text}}};
}

std::chrono::steady_clock::time_point Commands::lockDeadline() const {
    return watchdog_->within(kLongestLockWait);
}

void Commands::failed(const Failure& failure, const std::string& item) {
    Line line{Line::Kind::kFailure, "error: ", {{"event", std::string("error")}}};
    if (!item.empty()) {
        line.text += item + ": ";
        line.fields.push_back({"item", item});
    }
    line.text += failure.description() + " (error " + std::to_string(failure.number()) + ")";
    line.fields.push_back({"number", static_cast<std::uint64_t>(failure.number())});
    line.fields.push_back({"message", failure.description()});
    out_.print(line);
}

void Commands::failedUnreadable(const UnreadablePackage& package) {
    failed(Failure(failure::kFileNotFound, "Cannot read " + package.path.string() +
                                               ": it is a symbolic link that leads nowhere"),
           package.shownName);
}

void Commands::warn(const std::string& text) {
    out_.print({Line::Kind::kFailure,
                "warning: " + text,
                {{"event", std::string("warning")}, {"message", text}}});
}

LocalFolder Commands::localFolder() {
    const game::GameFolder game(setup_->gameFolder());
    if (!packages_) {
        packages_ = listPackages(game, options_.packages);
    }
    return LocalFolder(game, *packages_);
}

std::uint64_t Commands::reportList(const LocalFolder& local) {
    if (listReported_) {
        return 0;
    }
    listReported_ = true;
    for (const UnreadablePackage& package : local.unreadable()) {
        failedUnreadable(package);
    }
    const PackageList& list = local.list();
    for (const game::MissingPackage& missing : list.missing) {
        warn(missing.name + " is needed (" + reasonText(missing.serverPackages, missing.neededBy) +
             ") but found nowhere the game looks");
    }
    for (const game::NeedFailure& failure : list.failures) {
        warn(failure.shownName + ": " + failure.description + " (error " +
             std::to_string(failure.number) + "); what it needs is not known");
    }
    if (const auto& problem = local.manifest().problem()) {
        warn(*problem);
    }
    return local.unreadable().size();
}

std::string padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

std::string reasonText(bool serverPackages, const std::vector<std::string>& neededBy) {
    constexpr std::size_t kMostShown = 3;
    std::string text = serverPackages ? "ServerPackages" : "";
    if (!neededBy.empty()) {
        text += std::string(text.empty() ? "" : "; ") + "needed by ";
        for (std::size_t i = 0; i < neededBy.size() && i < kMostShown; ++i) {
            text += (i == 0 ? "" : ", ") + neededBy[i];
        }
        if (neededBy.size() > kMostShown) {
            text += " and " + std::to_string(neededBy.size() - kMostShown) + " more";
        }
    }
    return text.empty() ? "a map" : text;
}

std::string Commands::serverName() const {
    const ServerSetup server = setup_->server();
    return server.login.server + (server.remoteFolder.empty() ? "" : " " + server.remoteFolder);
}

}  // namespace varnox::redirect
