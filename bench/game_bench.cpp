// The needed set over a game folder of generated maps (1,000 of 2 MiB by default), against
// `cat` reading the same files to /dev/null; both from a warm cache, best of three runs. Only
// the packages' tables are read, so the search should take at least ten times less.
//
//   game_bench [--count N] [--mib SIZE] [--target RATIO] [--in FOLDER]
//
// The game folder is made fresh inside FOLDER (the temporary folder by default) and removed
// afterwards. Prints both times and their ratio; exits 1 when the ratio is under the target.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "game/needed_set.h"
#include "tests/support/package_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using varnox::game::GameConfig;

double bestSeconds(const std::function<void()>& run) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void cat(const std::vector<std::string>& files) {
    std::vector<char*> argv{const_cast<char*>("cat")};
    for (const std::string& file : files) {
        argv.push_back(const_cast<char*>(file.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, "/bin/cat", &actions, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || status != 0) {
        std::fprintf(stderr, "game_bench: cat failed\n");
        std::exit(2);
    }
    posix_spawn_file_actions_destroy(&actions);
}

}  // namespace

int main(int argc, char** argv) {
    int count = 1000;
    double mib = 2;
    double target = 10;
    fs::path parent = fs::temp_directory_path();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--count") {
            count = std::atoi(argv[i + 1]);
        } else if (option == "--mib") {
            mib = std::atof(argv[i + 1]);
        } else if (option == "--target") {
            target = std::atof(argv[i + 1]);
        } else if (option == "--in") {
            parent = argv[i + 1];
        }
    }
    std::string pattern = (parent / "varnox-game-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror(pattern.c_str());
        return 2;
    }
    const fs::path folder = pattern;
    fs::create_directories(folder / "Maps");
    fs::create_directories(folder / "Textures");
    const auto size = static_cast<std::size_t>(mib * 1024 * 1024);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
        varnox::test::PackageLayout layout = varnox::test::packageImporting(
            {"Botpack", "SoldierSkins", "BenchTex" + std::to_string(i % 50)});
        layout.dataSize = size - std::min(size, varnox::test::packageBytes(layout).size() - 16);
        files.push_back((folder / "Maps" / ("DM-Bench" + std::to_string(i) + ".unr")).string());
        varnox::test::writePackage(files.back(), layout);
    }
    for (int i = 0; i < 50; ++i) {
        varnox::test::writePackage(folder / "Textures" / ("BenchTex" + std::to_string(i) + ".utx"),
                                   varnox::test::packageImporting({"Engine"}));
    }
    const GameConfig config{{}, {}, true, {"../Maps/*.unr", "../Textures/*.utx"}};
    const auto stock = varnox::game::StockPackages::builtIn();
    cat(files);  // warms the cache
    const double catSeconds = bestSeconds([&] { cat(files); });
    std::size_t found = 0;
    const double searchSeconds = bestSeconds(
        [&] { found = varnox::game::findNeededPackages(folder, config, stock).packages.size(); });
    fs::remove_all(folder);
    if (found != static_cast<std::size_t>(count) + 50) {
        std::fprintf(stderr, "game_bench: the search found %zu packages\n", found);
        return 2;
    }
    const double ratio = catSeconds / searchSeconds;
    std::printf(
        "game_bench: %d packages of %.1f MiB: cat %.3f s, needed set %.3f s: %.1fx "
        "(target %.0fx)\n",
        count, mib, catSeconds, searchSeconds, ratio, target);
    return ratio >= target ? 0 : 1;
}
