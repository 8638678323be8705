#include "tests/redirect/run_redirect.h"

#include "settings/settings_file.h"
#include "tests/support/files.h"
#include "tests/support/game_folder.h"

#include <gtest/gtest.h>

namespace varnox::redirect {

pid_t startRedirect(const std::filesystem::path& config, std::vector<std::string> args,
                    const std::filesystem::path& output) {
    args.insert(args.begin(), {"--config", config.string()});
    return test::startProgram(test::builtProgram("varnox-redirect"), std::move(args), {}, output);
}

test::ProgramEnd runRedirect(const std::filesystem::path& config, std::vector<std::string> args,
                             const std::filesystem::path& output) {
    return test::waitForProgram(startRedirect(config, std::move(args), output), output);
}

void expectSaid(const std::string& out, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        EXPECT_NE(out.find(line), std::string::npos) << line << "\nnot in:\n" << out;
    }
}

void RedirectTest::SetUp() {
    test::makeGameFolder(game_, false);
    std::filesystem::create_directories(root_);
    writeSettings("");
}

void RedirectTest::writeSettings(const std::string& server) {
    settings::writeSettingsFile(config_, {game_.string(), "", server, "admin", "pw", ""});
}

void RedirectTest::serve(test::FtpServerOptions options) {
    server_.reset();
    options.accounts = {{"admin", "pw", root_}};
    server_ = std::make_unique<test::FtpServer>(std::move(options));
    writeSettings(server_->address());
}

}  // namespace varnox::redirect
