#include "redirect/upload_turn.h"

#include <cstdio>
#include <sstream>

#include "redirect/manifest.h"

namespace varnox::redirect {

namespace {

constexpr std::size_t kMostNameCharacters = 48;

}  // namespace

TemporarySightings TemporarySightings::parse(const std::string& text) {
    TemporarySightings sightings;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string kind, name, size, since, more;
        Seen seen;
        if (fields >> kind >> name >> size >> since && !(fields >> more) && kind == "seen" &&
            Manifest::parseNumber(size, seen.size) && Manifest::parseNumber(since, seen.since)) {
            if (const std::optional<std::string> plain = Manifest::unescape(name)) {
                sightings.seen_[*plain] = seen;
            }
        }
    }
    return sightings;
}

std::string TemporarySightings::text() const {
    std::string text;
    for (const auto& [name, seen] : seen_) {
        text += "seen " + Manifest::escape(name) + " " + std::to_string(seen.size) + " " +
                std::to_string(seen.since) + "\n";
    }
    return text;
}

TemporaryVerdicts TemporarySightings::judge(const std::vector<ListedTemporary>& listed,
                                            std::chrono::system_clock::time_point now) {
    const std::int64_t seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    const std::int64_t settle = std::chrono::seconds(kSettle).count();
    TemporaryVerdicts verdicts;
    std::map<std::string, Seen> stillThere;
    for (const ListedTemporary& entry : listed) {
        const auto before = seen_.find(entry.name);
        if (before != seen_.end() && before->second.size == entry.size &&
            seconds - before->second.since >= settle) {
            verdicts.abandoned.push_back(entry.name);
            continue;
        }
        // New, or grown since: seen from now on with this size.
        const bool same = before != seen_.end() && before->second.size == entry.size;
        stillThere[entry.name] = same ? before->second : Seen{entry.size, seconds};
        verdicts.kept.push_back(entry.name);
    }
    seen_ = std::move(stillThere);
    return verdicts;
}

UploadTurn::UploadTurn(const std::filesystem::path& uzFolder, const Target& target,
                       std::chrono::steady_clock::time_point deadline) {
    lock_ = platform::LockFile::takeTurn(uzFolder / fileName(target.address(), target.folder()),
                                         deadline, "uploading to " + target.key());
    // The first line names the holder; the sightings follow.
    const TemporarySightings sightings = TemporarySightings::parse(lock_->contents());
    lock_->record(platform::describeThisRun() + "\n" + sightings.text());
}

std::string UploadTurn::fileName(const std::string& server, const std::string& folder) {
    const std::string key = server + "\n" + folder;
    std::uint32_t hash = 2166136261u;  // FNV-1a
    std::string readable;
    for (const char c : key) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (readable.size() < kMostNameCharacters) {
            readable += plain ? c : '_';
        }
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", hash);
    return ".varnox-redirect-upload-" + readable + "-" + hex + ".lock";
}

TemporaryVerdicts UploadTurn::judge(const std::vector<ListedTemporary>& listed) {
    TemporarySightings sightings = TemporarySightings::parse(lock_->contents());
    TemporaryVerdicts verdicts = sightings.judge(listed, std::chrono::system_clock::now());
    lock_->record(platform::describeThisRun() + "\n" + sightings.text());
    return verdicts;
}

TemporaryVerdicts UploadTurn::peek(const std::filesystem::path& uzFolder, const Target& target,
                                   const std::vector<ListedTemporary>& listed) {
    TemporarySightings sightings = TemporarySightings::parse(
        platform::LockFile::peek(uzFolder / fileName(target.address(), target.folder())));
    return sightings.judge(listed, std::chrono::system_clock::now());
}

}  // namespace varnox::redirect
