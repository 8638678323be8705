// The HTTP check over every file of a folder, for bench/check_bench.py to time against the
// curl tool: each file is asked for as BASE_URL + its name and compared, byte for byte (with
// --quick: by the size a HEAD answer gives), with the local file. Prints the number of files
// of each result; exits 0 only when every file is ok.
//
//   varnox_check_bench BASE_URL FOLDER [--quick] [--connections N]
#include <cstdio>
#include <filesystem>
#include <string>

#include "redirect/http_check.h"

int main(int argc, char** argv) {
    using namespace varnox::redirect;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s BASE_URL FOLDER [--quick] [--connections N]\n", argv[0]);
        return 2;
    }
    CheckOptions options;
    for (int i = 3; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--quick") {
            options.quick = true;
        } else if (option == "--connections" && i + 1 < argc) {
            options.connections = std::stoul(argv[++i]);
        }
    }
    std::vector<CheckItem> items;
    for (const auto& entry : std::filesystem::directory_iterator(argv[2])) {
        const std::string name = entry.path().filename().string();
        items.push_back({name, entry.path(), name, std::nullopt});
    }
    HttpCheck check(argv[1], std::move(items), options);
    const std::vector<CheckResult> results = check.run();
    const CheckCounts counts(results);
    for (const CheckKind kind :
         {CheckKind::kOk, CheckKind::kMissing, CheckKind::kCase, CheckKind::kDiffers,
          CheckKind::kRedirected, CheckKind::kTooLarge, CheckKind::kFailed}) {
        std::printf("%s %zu\n", checkKindName(kind), counts[kind]);
    }
    std::printf("connections %zu\n", check.connectionsOpened());
    for (const CheckResult& result : results) {
        if (result.kind != CheckKind::kOk) {
            std::fprintf(stderr, "%s: %s\n", checkKindName(result.kind), result.detail.c_str());
            break;
        }
    }
    return counts.allOk() ? 0 : 1;
}
