#pragma once

#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "platform/failure.h"
#include "redirect/bulk_compress.h"
#include "redirect/local_folder.h"
#include "redirect/server.h"
#include "redirect/setup.h"
#include "redirect/watchdog.h"
#include "tools/redirect/options.h"
#include "tools/redirect/output.h"

namespace varnox::redirect {

// The commands over the libraries: each prints its result lines and a summary, and says
// whether every item succeeded. With --timeout, a watchdog stops the run when its time is up.
class Commands {
public:
    Commands(const Options& options, Output& output) : options_(options), out_(output) {}

    // Runs the command of the options; returns the exit status.
    int run();

private:
    bool status();
    // `pending` gets the packages a dry run would compress, for the upload after it.
    bool compress(std::vector<Package>& pending);
    bool upload(const std::vector<Package>& pending);
    bool trust();
    // trust for an SFTP server: its host key, kept in known_hosts.
    bool trustHostKey(const ServerSetup& setup);

    void failed(const Failure& failure, const std::string& item = {});
    // Something the user should know that fails nothing (printed as failures are).
    void warn(const std::string& text);
    // Each package named by a link that leads nowhere, reported as failed; how many.
    std::uint64_t reportUnreadable(const LocalFolder& local);
    std::string serverName() const;

    // The server or compressor the watchdog stops, for as long as this lives.
    class Watching {
    public:
        template <typename Work>
        Watching(Commands& commands, Work& work) : commands_(commands) {
            std::lock_guard lock(commands_.watched_);
            if constexpr (std::is_same_v<Work, RedirectServer>) {
                commands_.server_ = &work;
            } else {
                commands_.compressor_ = &work;
            }
        }
        ~Watching() {
            std::lock_guard lock(commands_.watched_);
            commands_.server_ = nullptr;
            commands_.compressor_ = nullptr;
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
    RedirectServer* server_ = nullptr;
    BulkCompressor* compressor_ = nullptr;
};

}  // namespace varnox::redirect
