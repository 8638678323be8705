// check: every needed package asked for over HTTP as a game client asks for it, and what came
// back held against the local file.
#include "redirect/check_items.h"
#include "redirect/http_check.h"
#include "tools/redirect/commands.h"

namespace varnox::redirect {

namespace {

std::vector<game::NeededPackage> asNeeded(const std::vector<Package>& packages) {
    std::vector<game::NeededPackage> needed;
    for (const Package& package : packages) {
        needed.push_back({package.shownName(), package.path, package.name, package.serverPackages,
                          package.neededBy});
    }
    return needed;
}

Line checkLine(const CheckItem& item, const CheckResult& result, std::size_t width) {
    const bool ok = result.kind == CheckKind::kOk;
    Line line{ok ? Line::Kind::kResult : Line::Kind::kFailure,
              padded(checkKindName(result.kind), 11) + padded(item.package, width) +
                  (ok ? result.url : result.detail),
              {{"event", std::string("check")},
               {"package", item.package},
               {"url", result.url},
               {"result", std::string(checkKindName(result.kind))},
               {"http_status", static_cast<std::uint64_t>(result.httpStatus)}}};
    if (!ok) {
        line.fields.push_back({"detail", result.detail});
    }
    if (!result.otherCaseName.empty()) {
        line.fields.push_back({"served_as", result.otherCaseName});
    }
    if (result.kind == CheckKind::kFailed) {
        line.text += " (error " + std::to_string(result.number) + ")";
        line.fields.push_back({"number", static_cast<std::uint64_t>(result.number)});
    }
    return line;
}

}  // namespace

bool Commands::check() {
    const LocalFolder local = localFolder();
    bool ok = reportList(local) == 0 && local.list().missing.empty();
    const game::GameConfig& config = local.list().config;
    const std::optional<std::string> url = options_.url ? options_.url : config.redirectUrl;
    if (!url || url->empty()) {
        throw Failure(
            failure::kInvalidValue,
            (local.list().iniFound
                 ? "The ini file " + local.list().iniFile.string() + " gives no RedirectToURL"
                 : "There is no ini file " + local.list().iniFile.string()) +
                "; give --url URL, the address clients fetch the files from");
    }
    if (const std::optional<std::string> problem = addressProblem(*url)) {
        warn(*problem);
    }
    const std::vector<CheckItem> items =
        checkItems(asNeeded(local.packages()), config, local.uzFolder());
    HttpCheck check(*url, items, {.quick = options_.quick});
    // The bar moves by files; the bytes shown are the local files' share of them.
    std::uint64_t totalBytes = 0;
    for (const CheckItem& item : items) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(item.local, error);
        totalBytes += error ? 0 : size;
    }
    std::vector<CheckResult> results;
    {
        const Watching watching(*this, check);
        out_.startProgress([&] {
            const std::size_t done = check.finished();
            return StepProgress{"checking, " + std::to_string(done) + " of " +
                                    std::to_string(items.size()) + " files",
                                items.empty() ? 0 : totalBytes * done / items.size(), totalBytes};
        });
        results = check.run();
        out_.stopProgress();
    }
    constexpr std::size_t kWidestColumn = 40;
    std::size_t width = 0;
    for (const CheckItem& item : items) {
        width = std::min(std::max(width, item.package.size() + 2), kWidestColumn);
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        out_.print(checkLine(items[i], results[i], width));
    }
    const CheckCounts counts(results);
    const auto count = [&](CheckKind kind) { return static_cast<std::uint64_t>(counts[kind]); };
    using enum CheckKind;
    const std::size_t nowhere = local.list().missing.size();
    out_.print({Line::Kind::kSummary,
                "check of " + *url + ": " + std::to_string(count(kOk)) + " ok, " +
                    std::to_string(count(kMissing)) + " missing, " + std::to_string(count(kCase)) +
                    " in another letter case, " + std::to_string(count(kDiffers)) + " differing, " +
                    std::to_string(count(kRedirected)) + " redirected, " +
                    std::to_string(count(kTooLarge)) + " too large for old clients, " +
                    std::to_string(count(kFailed)) + " failed" +
                    (nowhere == 0 ? ""
                                  : "; " + std::to_string(nowhere) +
                                        " needed but found nowhere here, not checked"),
                {{"event", std::string("summary")},
                 {"command", std::string("check")},
                 {"ok", count(kOk)},
                 {"missing", count(kMissing)},
                 {"case", count(kCase)},
                 {"differs", count(kDiffers)},
                 {"redirected", count(kRedirected)},
                 {"too_large", count(kTooLarge)},
                 {"failed", count(kFailed)},
                 {"not_found_here", static_cast<std::uint64_t>(nowhere)}}});
    return ok && counts.allOk();
}

}  // namespace varnox::redirect
