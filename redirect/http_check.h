#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The redirect server as game clients see it: each needed package's file is asked for over
// plain HTTP at the address a client builds, and what comes back is held against the local
// file.
//
// A client asks for the redirect address followed by the file name, nothing put between:
// the address "http://host/folder" and "DM-Brindle.unr.uz" give
// "http://host/folderDM-Brindle.unr.uz". The check joins them the same way, so an address
// without its closing "/" fails here as it fails for every player; the URL in each result
// shows why, and addressProblem() says so once. The file name is percent-encoded with its letter
// case kept; the address is used as written. Only plain HTTP is spoken, as clients do; an
// "https://" address fails with 12006.
//
// Several requests run at once on one libcurl multi handle, each connection kept alive for
// the next request; no redirect is followed (a 3xx is itself the result). Every request is
// bounded: a connect time-out, a stall rule, at most 64 KiB of headers, and a body of at most
// the local file's size and 1 MiB. A download is held against the local file as it arrives,
// piece by piece, neither held whole in memory, and ends at the first byte that differs or
// goes past the local file's end.
namespace varnox::redirect {

// What a client gets for one package, and what a check reports.
//
// When more than one applies, the first of this order is reported: kFailed, kRedirected,
// kCase and kMissing, kDiffers, kTooLarge. Problems that keep every client from the file come
// before kTooLarge, which keeps out only clients before 469: a too large .uz is reported once
// it is served right, and a missing or stale one first as such.
enum class CheckKind {
    kOk,          // served with status 200, the bytes (in quick mode the size) of the local file
    kMissing,     // answered with a status that is neither 200 nor a redirect
    kCase,        // missing, but the name with its letters A-Z in lower case is served (200)
    kDiffers,     // served with 200, but other bytes or another size than the local file's
    kRedirected,  // answered with a 3xx: old clients do not follow it
    kTooLarge,    // served right, but the .uz is not smaller than its package
    kFailed,      // no answer to go by: the server could not be reached or broke off, a
                  // time-out, the local file could not be read, or the check was cancelled
};

// "ok", "missing", "case", "differs", "redirected", "too_large", "failed".
const char* checkKindName(CheckKind kind);

struct CheckItem {
    std::string package;          // the shown name, "Maps/DM-Brindle.unr"
    std::filesystem::path local;  // its .uz, or the package itself when the redirect holds those
    std::string requestedName;    // "DM-Brindle.unr.uz", the name a client asks for
    // The package's size, when `local` is its .uz: a .uz of this size or more is kTooLarge.
    // Nothing leaves that test out.
    std::optional<std::uint64_t> packageSize;
};

struct CheckOptions {
    // Compares only the size a HEAD answer gives with the local file's. An answer without a
    // size is checked with a whole download instead.
    bool quick = false;
    std::size_t connections = 4;  // requests under way at once
    std::chrono::milliseconds connect{15000};
    // A request from which fewer than stallBytes arrive in `stall` (whole seconds, waiting
    // for the answer included) has stalled: it fails with 12002.
    std::chrono::milliseconds stall{30000};
    std::size_t stallBytes = 1024;
};

struct CheckResult {
    CheckKind kind = CheckKind::kFailed;
    std::string url;            // the URL asked for
    int httpStatus = 0;         // the status it was answered with; 0 when no answer came
    std::string otherCaseName;  // kCase: the name under which the file is served
    // kFailed: the error number; the transport's (ftp/errors.h: 12029 nothing answers at that
    // address, 12002 timed out, 12007 name not resolved, 12017 cancelled, ...), 12152 for an
    // answer whose headers pass 64 KiB, and the general ones (platform/failure.h, 53 and so on)
    // for the local file.
    int number = 0;
    // Besides kOk: what happened, naming the URL or the local file.
    std::string detail;
};

// How many results of each kind a check gave.
class CheckCounts {
public:
    explicit CheckCounts(const std::vector<CheckResult>& results);
    std::size_t operator[](CheckKind kind) const { return counts_[static_cast<std::size_t>(kind)]; }
    // Every file is kOk (or there were none): the redirect serves every client right.
    bool allOk() const;

private:
    std::array<std::size_t, static_cast<std::size_t>(CheckKind::kFailed) + 1> counts_{};
};

// The URL a client asks for: the address, then the percent-encoded file name.
std::string requestUrl(std::string_view baseUrl, std::string_view requestedName);

// What keeps every client from a redirect address, for a user to read once before the
// results: not an http:// address, or one without its closing "/". Nothing for a usable one.
std::optional<std::string> addressProblem(std::string_view baseUrl);

// One check of a list of files. run() blocks until every file has its result: call it off
// any user-interface thread. cancel(), finished() and connectionsOpened() may be called from
// any thread while it runs. Nothing throws out of run().
class HttpCheck {
public:
    HttpCheck(std::string baseUrl, std::vector<CheckItem> items, CheckOptions options = {});
    ~HttpCheck();
    HttpCheck(const HttpCheck&) = delete;
    HttpCheck& operator=(const HttpCheck&) = delete;

    // One result per item, in the items' order. Once cancelled (also before run()), the
    // files not yet done are kFailed with 12017.
    std::vector<CheckResult> run();
    void cancel();

    std::size_t finished() const { return finished_; }
    // Connections made so far; with keep-alive, far fewer than requests.
    std::size_t connectionsOpened() const { return connections_; }

private:
    class Run;

    std::string baseUrl_;
    std::vector<CheckItem> items_;
    CheckOptions options_;
    void* multi_ = nullptr;  // the libcurl multi handle, woken by cancel()
    std::atomic<bool> cancelled_{false};
    std::atomic<std::size_t> finished_{0};
    std::atomic<std::size_t> connections_{0};
};

}  // namespace varnox::redirect
