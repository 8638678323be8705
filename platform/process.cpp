#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/failure.h"
#include "platform/system_errors.h"

extern char** environ;

namespace varnox::platform {

int SystemProcessRunner::start(const std::filesystem::path& program,
                               const std::vector<std::string>& arguments) {
    std::vector<std::string> argv;
    argv.push_back(program.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (auto& a : argv) {
        pointers.push_back(a.data());
    }
    pointers.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    pid_t pid = 0;
    int error =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, pointers.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw systemFailure(error, "Cannot start " + program.string(), failure::kFileNotFound);
    }
    return pid;
}

std::optional<ProcessStatus> SystemProcessRunner::status(int processId) {
    int raw = 0;
    pid_t result = ::waitpid(processId, &raw, WNOHANG);
    if (result == 0) {
        return ProcessStatus{ProcessStatus::State::kRunning};
    }
    if (result != processId) {
        return std::nullopt;
    }
    return ProcessStatus{ProcessStatus::State::kEnded,
                         WIFEXITED(raw) ? static_cast<unsigned>(WEXITSTATUS(raw))
                                        : 128u + static_cast<unsigned>(WTERMSIG(raw))};
}

}  // namespace varnox::platform
