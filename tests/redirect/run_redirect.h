#pragma once

#include <sys/types.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ftp_server.h"
#include "tests/support/programs.h"
#include "tests/support/temp_dir.h"

// varnox-redirect as the tests run it: the program we build, as a child process with a
// settings file, its output going to files in a folder.
namespace varnox::redirect {

// Starts the program with `--config config` before `args`; its output goes to `output`.
pid_t startRedirect(const std::filesystem::path& config, std::vector<std::string> args,
                    const std::filesystem::path& output);
// Starts the program as startRedirect() does and waits for it to end.
test::ProgramEnd runRedirect(const std::filesystem::path& config, std::vector<std::string> args,
                             const std::filesystem::path& output);

// Expects each of `lines` somewhere in `out`.
void expectSaid(const std::string& out, const std::vector<std::string>& lines);

// A game folder named by a settings file that also names the server, once it runs; the
// program runs as a child process with its output going to files.
class RedirectTest : public ::testing::Test {
protected:
    void SetUp() override;
    void writeSettings(const std::string& server);
    // A real FTP server (pyftpdlib) on root_, for the user "admin" with the password "pw",
    // named by the settings file.
    void serve(test::FtpServerOptions options = {});
    pid_t start(const std::vector<std::string>& args) {
        return startRedirect(config_, args, dir_.path());
    }
    test::ProgramEnd wait(pid_t pid) { return test::waitForProgram(pid, dir_.path()); }
    test::ProgramEnd run(const std::vector<std::string>& args) { return wait(start(args)); }

    test::TempDir dir_;
    std::filesystem::path game_ = dir_ / "game";
    std::filesystem::path root_ = dir_ / "root";
    std::filesystem::path config_ = dir_ / "config.txt";
    std::unique_ptr<test::FtpServer> server_;
};

}  // namespace varnox::redirect
