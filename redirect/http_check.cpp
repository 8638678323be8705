#include "redirect/http_check.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <numeric>

#include "ftp/curl_errors.h"
#include "ftp/curl_handle.h"
#include "ftp/errors.h"
#include "ftp/remote_path.h"
#include "redirect/http_request.h"
#include "redirect/stream_compare.h"

namespace varnox::redirect {
namespace {

// The body an answer may bring beyond the local file's size.
constexpr std::uint64_t kBodySlack = 1024 * 1024;
// The longest the loop waits before it looks at libcurl again.
constexpr int kPollMilliseconds = 1000;

std::string lowerCase(std::string_view name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return lower;
}

std::string answerText(const HttpAnswer& answer) {
    return std::to_string(answer.status) + (answer.reason.empty() ? "" : " " + answer.reason);
}

std::string bytes(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

}  // namespace

const char* checkKindName(CheckKind kind) {
    switch (kind) {
        case CheckKind::kOk:
            return "ok";
        case CheckKind::kMissing:
            return "missing";
        case CheckKind::kCase:
            return "case";
        case CheckKind::kDiffers:
            return "differs";
        case CheckKind::kRedirected:
            return "redirected";
        case CheckKind::kTooLarge:
            return "too_large";
        case CheckKind::kFailed:
            break;
    }
    return "failed";
}

CheckCounts::CheckCounts(const std::vector<CheckResult>& results) {
    for (const CheckResult& result : results) {
        ++counts_[static_cast<std::size_t>(result.kind)];
    }
}

bool CheckCounts::allOk() const {
    return std::accumulate(counts_.begin(), counts_.end(), std::size_t{0}) ==
           (*this)[CheckKind::kOk];
}

std::string requestUrl(std::string_view baseUrl, std::string_view requestedName) {
    return std::string(baseUrl) + ftp::percentEncode(requestedName);
}

std::optional<std::string> addressProblem(std::string_view baseUrl) {
    const std::string address(baseUrl);
    if (lowerCase(baseUrl.substr(0, 7)) != "http://") {
        return "The redirect address " + address +
               " is not an http:// address: clients fetch their files over plain HTTP";
    }
    if (!baseUrl.ends_with('/')) {
        return "The redirect address " + address + " does not end in \"/\": clients put the " +
               "file name right after it, as in " + requestUrl(baseUrl, "DM-Brindle.unr.uz");
    }
    return std::nullopt;
}

// One request under way for one item, on a handle that goes from item to item.
struct Slot {
    enum class Stage { kFirst, kWhole, kLowerCase };

    explicit Slot(const CheckOptions& options) : request(options) {}

    HttpRequest request;
    std::size_t item = 0;
    Stage stage = Stage::kFirst;
    std::unique_ptr<platform::PositionalFile> local;
    std::unique_ptr<StreamCompare> compare;
    HttpAnswer first;  // the answer for the exact name, while the lower-case one is asked for
    bool busy = false;
};

// One run of a check: hands the items out to the slots, one request each at a time, and
// turns each answer into the item's result or its next request.
class HttpCheck::Run {
public:
    Run(HttpCheck& check, CURLM* multi) : check_(check), multi_(multi) {
        results_.resize(check.items_.size());
        for (std::size_t i = 0; i < results_.size(); ++i) {
            results_[i].url = requestUrl(check.baseUrl_, check.items_[i].requestedName);
        }
    }

    ~Run() {
        for (auto& slot : slots_) {
            if (slot->busy) {
                curl_multi_remove_handle(multi_, slot->request.handle());
            }
        }
    }

    std::vector<CheckResult> go() {
        const std::size_t count = std::clamp<std::size_t>(
            check_.options_.connections, 1, std::max<std::size_t>(results_.size(), 1));
        curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(count));
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, static_cast<long>(count));
        for (std::size_t i = 0; i < count; ++i) {
            slots_.push_back(std::make_unique<Slot>(check_.options_));
            startNext(*slots_.back());
        }
        int running = 0;
        while (busySlots() > 0 && !check_.cancelled_) {
            if (curl_multi_perform(multi_, &running) != CURLM_OK) {
                break;
            }
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
                if (message->msg == CURLMSG_DONE) {
                    done(slotOf(message->easy_handle), message->data.result);
                }
            }
            if (busySlots() > 0) {
                curl_multi_poll(multi_, nullptr, 0, kPollMilliseconds, nullptr);
            }
        }
        // Only a cancel, or libcurl failing as a whole, leaves files without their result.
        const bool cancelled = check_.cancelled_;
        const int number = static_cast<int>(cancelled ? ftp::error::kOperationCancelled
                                                      : ftp::error::kInternalError);
        const std::string why =
            cancelled ? "The check was cancelled before " : "libcurl failed before ";
        for (auto& slot : slots_) {
            if (slot->busy) {
                fail(*slot, number, why + urlOf(*slot) + " was answered");
            }
        }
        for (; next_ < results_.size(); ++next_) {
            record(next_, CheckKind::kFailed, number, why + results_[next_].url + " was asked for");
        }
        return std::move(results_);
    }

private:
    std::size_t busySlots() const {
        return static_cast<std::size_t>(
            std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s->busy; }));
    }

    Slot& slotOf(CURL* handle) {
        return **std::find_if(slots_.begin(), slots_.end(),
                              [&](const auto& s) { return s->request.handle() == handle; });
    }

    const CheckItem& itemOf(const Slot& slot) const { return check_.items_[slot.item]; }
    const std::string& urlOf(const Slot& slot) const { return results_[slot.item].url; }

    // Gives the slot the next item that can be asked for; items whose local file cannot be
    // read are done at once.
    void startNext(Slot& slot) {
        while (!slot.busy && next_ < results_.size() && !check_.cancelled_) {
            slot.item = next_++;
            slot.compare.reset();
            try {
                slot.local = std::make_unique<platform::PositionalFile>(itemOf(slot).local);
            } catch (const Failure& failure) {
                fail(slot, failure.number(), failure.description());
                continue;
            }
            ask(slot, Slot::Stage::kFirst, urlOf(slot), !check_.options_.quick);
        }
    }

    void ask(Slot& slot, Slot::Stage stage, const std::string& url, bool wholeFile) {
        slot.stage = stage;
        if (wholeFile) {
            slot.compare = std::make_unique<StreamCompare>(*slot.local);
        }
        slot.request.prepare(url, wholeFile ? slot.compare.get() : nullptr,
                             slot.local->size() + kBodySlack);
        if (slot.request.handle() == nullptr ||
            curl_multi_add_handle(multi_, slot.request.handle()) != CURLM_OK) {
            fail(slot, static_cast<int>(ftp::error::kInternalError),
                 "Cannot ask for " + url + ": libcurl refused the request");
            return;
        }
        slot.busy = true;
    }

    void done(Slot& slot, CURLcode code) {
        curl_multi_remove_handle(multi_, slot.request.handle());
        slot.busy = false;
        long made = 0;
        curl_easy_getinfo(slot.request.handle(), CURLINFO_NUM_CONNECTS, &made);
        check_.connections_ += static_cast<std::size_t>(std::max(made, 0L));
        const HttpAnswer& answer = slot.request.finish(code);
        if (slot.stage == Slot::Stage::kLowerCase) {
            caseAnswered(slot, answer);
        } else {
            answered(slot, answer);
        }
        if (!slot.busy) {
            startNext(slot);
        }
    }

    void answered(Slot& slot, const HttpAnswer& answer) {
        const std::string& url = urlOf(slot);
        if (answer.localFailure) {
            fail(slot, answer.localFailure->number(), answer.localFailure->description());
        } else if (answer.outOfMemory) {
            fail(slot, failure::kOutOfMemory, "Out of memory while checking " + url);
        } else if (answer.headersTooLarge) {
            fail(slot, static_cast<int>(ftp::error::kInvalidServerResponse),
                 "The answer for " + url + " has too many headers");
        } else if (answer.code != CURLE_OK && !answer.stopped) {
            fail(slot, static_cast<int>(ftp::errorFromCurl(answer.code)),
                 "Cannot fetch " + url + ": " +
                     (answer.code == CURLE_UNSUPPORTED_PROTOCOL
                          ? "clients fetch their files over plain HTTP, from an http:// address"
                          : answer.error));
        } else if (answer.status >= 300 && answer.status < 400) {
            finish(slot, answer, CheckKind::kRedirected,
                   url + " answered " + answerText(answer) +
                       (answer.location.empty() ? "" : ", to " + answer.location) +
                       ": old clients do not follow redirects");
        } else if (answer.status != 200) {
            const std::string& name = itemOf(slot).requestedName;
            if (lowerCase(name) == name) {
                finish(slot, answer, CheckKind::kMissing, url + " answered " + answerText(answer));
                return;
            }
            slot.first = answer;
            ask(slot, Slot::Stage::kLowerCase, requestUrl(check_.baseUrl_, lowerCase(name)), false);
        } else if (slot.compare == nullptr && !answer.size) {
            ask(slot, Slot::Stage::kWhole, url, true);  // no size given: the bytes tell
        } else if (const std::string differs = difference(slot, answer); !differs.empty()) {
            finish(slot, answer, CheckKind::kDiffers, differs);
        } else {
            served(slot, answer);
        }
    }

    // The server's copy against the local file, once the answer had status 200: empty when
    // they agree, or else how they differ.
    std::string difference(const Slot& slot, const HttpAnswer& answer) const {
        const std::uint64_t localSize = slot.local->size();
        const std::string local = "the local file " + itemOf(slot).local.string();
        const std::string& url = urlOf(slot);
        if (answer.size && *answer.size != localSize) {
            return url + " has " + bytes(*answer.size) + ", " + local + " " + bytes(localSize);
        }
        if (slot.compare == nullptr || slot.compare->same()) {
            return {};
        }
        const std::optional<std::uint64_t> at = slot.compare->firstDifference();
        if (!at) {
            return url + " has " + bytes(slot.compare->received()) + ", " + local + " " +
                   bytes(localSize);
        }
        if (*at == localSize) {
            return url + " has more than the " + bytes(localSize) + " of " + local;
        }
        return url + " differs from " + local + " from byte " + std::to_string(*at) + " on";
    }

    void served(Slot& slot, const HttpAnswer& answer) {
        const CheckItem& item = itemOf(slot);
        const std::uint64_t size = slot.local->size();
        if (item.packageSize && size >= *item.packageSize) {
            finish(slot, answer, CheckKind::kTooLarge,
                   item.local.string() + " has " + bytes(size) + ", not fewer than the " +
                       bytes(*item.packageSize) +
                       " of its package: clients before 469 cannot download it");
            return;
        }
        finish(slot, answer, CheckKind::kOk, {});
    }

    void caseAnswered(Slot& slot, const HttpAnswer& answer) {
        const std::string& url = urlOf(slot);
        if (answer.code == CURLE_OK && answer.status == 200) {
            const std::string lower = lowerCase(itemOf(slot).requestedName);
            results_[slot.item].otherCaseName = lower;
            finish(slot, slot.first, CheckKind::kCase,
                   url + " answered " + answerText(slot.first) + ", but " + lower +
                       " is served: the server's copy has its name in other letter case");
            return;
        }
        finish(slot, slot.first, CheckKind::kMissing, url + " answered " + answerText(slot.first));
    }

    void finish(Slot& slot, const HttpAnswer& answer, CheckKind kind, std::string detail) {
        results_[slot.item].httpStatus = static_cast<int>(answer.status);
        record(slot.item, kind, 0, std::move(detail));
    }

    void fail(Slot& slot, int number, std::string detail) {
        record(slot.item, CheckKind::kFailed, number, std::move(detail));
    }

    void record(std::size_t item, CheckKind kind, int number, std::string detail) {
        results_[item].kind = kind;
        results_[item].number = number;
        results_[item].detail = std::move(detail);
        ++check_.finished_;
    }

    HttpCheck& check_;
    CURLM* multi_;
    std::vector<CheckResult> results_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::size_t next_ = 0;
};

HttpCheck::HttpCheck(std::string baseUrl, std::vector<CheckItem> items, CheckOptions options)
    : baseUrl_(std::move(baseUrl)), items_(std::move(items)), options_(options) {
    ftp::initialiseCurl();
    multi_ = curl_multi_init();
}

HttpCheck::~HttpCheck() {
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
}

void HttpCheck::cancel() {
    cancelled_ = true;
    if (multi_ != nullptr) {
        curl_multi_wakeup(multi_);
    }
}

std::vector<CheckResult> HttpCheck::run() {
    finished_ = 0;
    connections_ = 0;
    try {
        if (multi_ == nullptr) {
            throw std::bad_alloc();
        }
        return Run(*this, multi_).go();
    } catch (...) {
        // Out of memory, or libcurl without the means to run: nothing can be checked.
        try {
            std::vector<CheckResult> results(items_.size());
            for (std::size_t i = 0; i < items_.size(); ++i) {
                results[i].url = requestUrl(baseUrl_, items_[i].requestedName);
                results[i].number = failure::kOutOfMemory;
                results[i].detail = "Out of memory while checking " + results[i].url;
            }
            return results;
        } catch (...) {
            return {};
        }
    }
}

}  // namespace varnox::redirect
