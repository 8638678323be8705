#include "settings/trusted_servers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <sstream>

#include "platform/files.h"
#include "platform/system_errors.h"

namespace varnox::settings {

namespace {

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

// Fails unless only its owner (the user, or root) can change `path`; nothing when it is not
// there. `what` names it in the report.
void checkOwnerOnly(const std::filesystem::path& path, const std::string& what) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return;
        }
        throw platform::systemFailure(errno, "Cannot read " + what);
    }
    const mode_t mode = info.st_mode & 07777;
    if ((mode & (S_IWGRP | S_IWOTH)) != 0) {
        char octal[8];
        std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode));
        throw platform::SystemFailure(EACCES, failure::kPermissionDenied,
                                      "Not used: " + what + " has mode " + octal +
                                          ", so others than its owner may change it (chmod go-w)");
    }
    if (info.st_uid != ::geteuid() && info.st_uid != 0) {
        throw platform::SystemFailure(EACCES, failure::kPermissionDenied,
                                      "Not used: " + what + " belongs to another user (uid " +
                                          std::to_string(info.st_uid) + "), who may change it");
    }
}

}  // namespace

std::vector<std::string> TrustedServers::lines() const {
    const std::filesystem::path folder =
        file_.parent_path().empty() ? std::filesystem::path(".") : file_.parent_path();
    checkOwnerOnly(folder, "the folder " + folder.string() + " of " + file_.string());
    checkOwnerOnly(file_, file_.string());
    std::vector<std::string> lines;
    std::istringstream text(platform::readWholeFile(file_).value_or(""));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::optional<std::pair<std::string, std::string>> TrustedServers::entryOf(std::string_view line) {
    while (!line.empty() && line.back() == ' ') {
        line.remove_suffix(1);
    }
    const std::size_t blank = line.rfind(' ');
    if (blank == std::string_view::npos || blank == 0) {
        return std::nullopt;
    }
    return std::pair{std::string(line.substr(0, blank)), upper(line.substr(blank + 1))};
}

TrustedServers::Lookup TrustedServers::lookUp(const std::string& server) const noexcept {
    Lookup found;
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& line : lines()) {
            if (auto entry = entryOf(line); entry && entry->first == server) {
                found.fingerprint = std::move(entry->second);
            }
        }
    } catch (const platform::SystemFailure& failure) {
        found.problem = failure;
    } catch (const std::bad_alloc&) {
        found.problem = platform::SystemFailure(ENOMEM, failure::kOutOfMemory,
                                                "Out of memory reading " + file_.string());
    } catch (const std::exception& failure) {
        found.problem = platform::SystemFailure(EIO, failure::kPathFileAccessError, failure.what());
    }
    return found;
}

void TrustedServers::trust(const std::string& server, const std::string& fingerprint) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string kept;  // every other line as it was
    for (const std::string& line : lines()) {
        if (auto entry = entryOf(line); !entry || entry->first != server) {
            kept += line + "\n";
        }
    }
    platform::createFolderFor(file_);
    platform::writeFileAtomically(file_, kept + server + " " + fingerprint + "\n",
                                  platform::FileAccess::kOwnerOnly);
}

}  // namespace varnox::settings
