#include "tools/redirect/commands.h"

namespace varnox::redirect {

int Commands::run() {
    try {
        setup_.emplace(options_.setup);
        std::vector<Package> pending;
        bool ok = true;
        switch (options_.command) {
            case Command::kStatus:
                ok = status();
                break;
            case Command::kCompress:
                ok = compress(pending);
                break;
            case Command::kUpload:
                ok = upload(pending);
                break;
            case Command::kSync:
                ok = compress(pending);
                ok = upload(pending) && ok;
                break;
            case Command::kHelp:
            case Command::kVersion:
                break;
        }
        return ok ? kExitSuccess : kExitFailure;
    } catch (const Failure& failure) {
        out_.stopProgress();
        failed(failure);
        return kExitFailure;
    }
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

std::string Commands::serverName() const {
    const ServerSetup server = setup_->server();
    return server.login.server + (server.remoteFolder.empty() ? "" : " " + server.remoteFolder);
}

}  // namespace varnox::redirect
