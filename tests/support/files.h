#pragma once

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace varnox::test {

// Whole-file helpers that fail the calling test (by throwing) when the file system refuses.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// The names of the entries in a folder; none when it is not there (yet).
std::set<std::string> namesIn(const std::filesystem::path& folder);

// Whether `condition` comes to hold within a minute; it is asked every few milliseconds.
bool eventually(const std::function<bool()>& condition);

// Path of a program built by this project, in build/bin.
std::filesystem::path builtProgram(const std::string& name);
// Path below the source tree (for example "tests/data/...").
std::filesystem::path sourcePath(const std::string& relative);

// A limit on the size of files this process writes, while the object lives: writing beyond it
// fails as on a full disk (EFBIG rather than ENOSPC; the same error number).
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : handler(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit small{bytes, previous.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, handler);
    }
    decltype(SIG_DFL) handler;
    rlimit previous{};
};

}  // namespace varnox::test
