#include "tests/support/programs.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "tests/support/files.h"

namespace varnox::test {

pid_t startProgram(const std::filesystem::path& program, std::vector<std::string> args,
                   const std::filesystem::path& folder, const std::filesystem::path& output) {
    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const std::string out = output.empty() ? "/dev/null" : output / "out",
                      err = output.empty() ? "/dev/null" : output / "err", where = folder;
    const pid_t pid = ::fork();
    if (pid == 0) {  // only calls that are safe between fork and exec
        ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            ::signal(sig, SIG_DFL);
        }
        if (where.empty() || ::chdir(where.c_str()) == 0) {
            ::execv(argv[0], argv.data());
        }
        ::_exit(127);
    }
    return pid;
}

ProgramEnd waitForProgram(pid_t pid, const std::filesystem::path& output) {
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            WIFSIGNALED(status) ? WTERMSIG(status) : 0,
            output.empty() ? "" : readFile(output / "out"),
            output.empty() ? "" : readFile(output / "err"), usage.ru_maxrss};
}

}  // namespace varnox::test
