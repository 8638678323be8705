#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "platform/failure.h"
#include "redirect/bulk_compress.h"
#include "redirect/http_check.h"
#include "redirect/local_folder.h"
#include "redirect/remote_folder.h"
#include "redirect/server.h"
#include "redirect/setup.h"
#include "redirect/target.h"
#include "redirect/upload_records.h"
#include "redirect/upload_turn.h"
#include "redirect/watchdog.h"
#include "tools/redirect/options.h"
#include "tools/redirect/output.h"

namespace varnox::redirect {

// Why a package is needed, for a person to read: "ServerPackages", "needed by A, B, C and 2
// more", both, or "a map".
std::string reasonText(bool serverPackages, const std::vector<std::string>& neededBy);
// The text with blanks after it up to `width`, and at least one.
std::string padded(std::string text, std::size_t width);

// The commands over the libraries: each prints its result lines and a summary, and says
// whether every item succeeded. With --timeout, a watchdog stops the run when its time is up.
class Commands {
public:
    Commands(const Options& options, Output& output) : options_(options), out_(output) {}

    // Runs the command of the options; returns the exit status.
    int run();

private:
    bool status();
    bool needs();
    // `pending` gets the packages a dry run would compress, for the upload after it.
    bool compress(std::vector<Package>& pending);
    bool upload(const std::vector<Package>& pending);
    bool check();
    bool trust();
    // trust for an SFTP server: its host key, kept in known_hosts.
    bool trustHostKey(const ServerSetup& setup);
    // Parts of trust. The question "Trust this `what` for `server` from now on?" to the
    // person at the terminal, `server` read as it is when asked; a yes is true. Empty with
    // --fingerprint, and when there is no terminal.
    std::function<bool()> askOnTerminal(const std::string& what, const std::string& server);
    // Connects, watched, for the question it asks; the failure, if the connection failed.
    std::optional<Failure> connectToTrust(RedirectServer& connection);

    // Parts of upload. Each failure that concerns one file is reported and counted in the
    // return value (or `failures`); one that ends the run is thrown.
    std::uint64_t removeFromServer(Target& server, const std::string& name, const std::string& why);
    // The temporary names of uploads cut short that no live run owns; the others are listed.
    std::uint64_t removeTemporaries(Target& server, const RemoteFolder& remote, UploadTurn* turn,
                                    const fs::path& uzFolder);
    // Downloads each unverified copy of the plan: one that holds the local bytes is recorded
    // as sent and stays, one that does not moves to the uploads. Returns how many were
    // recorded.
    std::uint64_t verifyCopies(Target& server, UploadPlan& plan, UploadRecords& records,
                               std::uint64_t& failures);
    // The .uz files no package accounts for; returns how many went (or would go).
    std::uint64_t removeOrphans(Target& server, const LocalFolder& local,
                                const RemoteFolder& remote, UploadRecords& records,
                                const std::vector<std::string>& keepFiles,
                                const std::vector<std::string>& keepNames, std::uint64_t& failures);

    void failed(const Failure& failure, const std::string& item = {});
    // A package named by a symbolic link that leads nowhere, reported as failed.
    void failedUnreadable(const UnreadablePackage& package);
    // Something the user should know that fails nothing (printed as failures are).
    void warn(const std::string& text);
    // The game folder's packages as the run's rule picks them (listed once a run: a sync's
    // upload takes the compress's list), and its .uz files as they are now.
    LocalFolder localFolder();
    // What the package list says besides its packages, once a run: each package named by a
    // link that leads nowhere, reported as failed, and as warnings the names needed but found
    // nowhere and what could not be read. Returns how many failed.
    std::uint64_t reportList(const LocalFolder& local);
    std::string serverName() const;

    // The target or compressor the watchdog stops, for as long as this lives.
    class Watching {
    public:
        template <typename Work>
        Watching(Commands& commands, Work& work) : commands_(commands) {
            std::lock_guard lock(commands_.watched_);
            if constexpr (std::is_base_of_v<Target, Work>) {
                commands_.server_ = &work;
            } else if constexpr (std::is_same_v<Work, HttpCheck>) {
                commands_.check_ = &work;
            } else {
                commands_.compressor_ = &work;
            }
        }
        ~Watching() {
            std::lock_guard lock(commands_.watched_);
            commands_.server_ = nullptr;
            commands_.compressor_ = nullptr;
            commands_.check_ = nullptr;
        }
        Watching(const Watching&) = delete;
        Watching& operator=(const Watching&) = delete;

    private:
        Commands& commands_;
    };

    void stopWork();
    [[noreturn]] void abandon();
    Line timedOut() const;
    // The end of a wait for another run: a minute, or the run's limit.
    std::chrono::steady_clock::time_point lockDeadline() const;

    const Options& options_;
    Output& out_;
    std::optional<Setup> setup_;
    std::unique_ptr<Watchdog> watchdog_;
    std::mutex watched_;
    Target* server_ = nullptr;
    BulkCompressor* compressor_ = nullptr;
    HttpCheck* check_ = nullptr;
    bool listReported_ = false;
    std::optional<PackageList> packages_;
    // The game folder as a compress that changed nothing left it.
    std::optional<LocalFolder> unchanged_;
};

}  // namespace varnox::redirect
