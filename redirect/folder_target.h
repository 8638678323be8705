#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "redirect/target.h"

// file:///PATH: the redirect's files written into a folder on this machine, the web root of a
// web server running here. Each file is written under a temporary name in that folder and
// renamed into place, readable by everyone (0644) whatever the umask, so that the web server
// serves either the old file or the whole new one. Failures are varnox::Failure values in the
// file layer's numbering, naming the file or folder.
namespace varnox::redirect {

// Whether the server name is a file: URL ("file:" in any letter case).
bool isFileUrl(std::string_view server);

// The folder a file: URL names: "file:///PATH" (or "file:/PATH") with each %XX decoded. A
// host ("file://host/PATH"), a relative path, a bad or NUL escape give nothing, with `why`
// saying so.
std::optional<std::filesystem::path> folderOfFileUrl(std::string_view url, std::string& why);

class FolderTarget : public Target {
public:
    explicit FolderTarget(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // Fails when the folder does not exist: a web root is not made here.
    void connect() override;
    // Every entry, hidden ones included; times to the nanosecond, in UTC.
    std::vector<ftp::FindData> list() override;
    void remove(const std::string& name) override;
    bool put(const std::filesystem::path& local, const std::string& name) override;
    void get(const std::string& name, const std::filesystem::path& local) override;
    std::uint64_t progress() override { return moved_; }
    void stop() override { stopped_ = true; }
    std::string folder() const override { return folder_.string(); }
    std::string address() const override { return "file://"; }
    // The folder as a URL: "file:///srv/www/uz".
    std::string key() const override { return "file://" + folder(); }

private:
    void checkNotStopped() const;
    // Copies the whole of `from` to `to` (a file made by platform::ReplacingFile).
    void copy(const std::filesystem::path& from, const std::filesystem::path& to, bool upload);
    // The file `name` in the folder; fails for a name that is not one file's.
    std::filesystem::path pathOf(const std::string& name) const;

    std::filesystem::path folder_;
    std::atomic<bool> stopped_{false};
    std::atomic<std::uint64_t> moved_{0};
};

}  // namespace varnox::redirect
