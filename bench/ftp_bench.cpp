// One binary transfer through the FTP session, for bench/ftp_bench.sh to time against the
// curl tool: connect, log in, put or get one file, close. SERVER may be an ftpes:// name;
// its certificate is trusted whatever it is (the benchmark's self-signed one), as curl -k
// does, and kept in TRUSTED_FILE when one is given, as the program keeps the certificates
// its user trusted: from the second run on it is known.
//
//   varnox_ftp_bench put SERVER USER PASSWORD LOCAL_FILE REMOTE_NAME [TRUSTED_FILE]
//   varnox_ftp_bench get SERVER USER PASSWORD LOCAL_FILE REMOTE_NAME [TRUSTED_FILE]
#include <cstdio>
#include <optional>
#include <string>

#include "ftp/session.h"
#include "ftp/tls.h"

namespace {

int failed(const varnox::ftp::CallResult& result, const char* step) {
    std::fprintf(stderr, "%s failed: error %u %s", step, result.error, result.reply.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace varnox::ftp;
    if (argc < 7 || argc > 8 || (std::string(argv[1]) != "put" && std::string(argv[1]) != "get")) {
        std::fprintf(stderr, "usage: %s put|get SERVER USER PASSWORD LOCAL REMOTE [TRUSTED]\n",
                     argv[0]);
        return 2;
    }
    const bool put = std::string(argv[1]) == "put";
    std::optional<varnox::settings::TrustedServers> trusted;
    if (argc == 8) {
        trusted.emplace(argv[7]);
    }
    Session session({}, trusted ? &*trusted : nullptr,
                    [](const Certificate&, bool) { return true; });
    session.open("");
    CallResult result = session.connect({argv[2], argv[3], argv[4], true});
    if (!result.ok()) {
        return failed(result, "connect");
    }
    result = put ? session.put(argv[5], argv[6], TransferType::kBinary)
                 : session.get(argv[6], argv[5], TransferType::kBinary);
    if (!result.ok()) {
        return failed(result, put ? "put" : "get");
    }
    session.close();
    return 0;
}
