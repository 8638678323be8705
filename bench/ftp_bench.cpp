// One binary transfer through the FTP transport, for bench/ftp_bench.sh to time against the
// curl tool: connect, log in, put or get one file, close.
//
//   varnox_ftp_bench put HOST:PORT USER PASSWORD LOCAL_FILE REMOTE_NAME
//   varnox_ftp_bench get HOST:PORT USER PASSWORD LOCAL_FILE REMOTE_NAME
#include <cstdio>
#include <string>

#include "ftp/transport.h"

namespace {

int failed(varnox::ftp::Transport& transport, const char* step) {
    std::uint32_t code = 0;
    std::string text;
    std::uint32_t error = varnox::ftp::lastError();
    transport.internetGetLastResponseInfo(code, text);
    std::fprintf(stderr, "%s failed: error %u %s", step, error, text.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace varnox::ftp;
    if (argc != 7 || (std::string(argv[1]) != "put" && std::string(argv[1]) != "get")) {
        std::fprintf(stderr, "usage: %s put|get HOST:PORT USER PASSWORD LOCAL REMOTE\n", argv[0]);
        return 2;
    }
    const bool put = std::string(argv[1]) == "put";
    Transport transport;
    Handle session = transport.internetOpen("varnox bench", kAccessDirect);
    Handle connection = transport.internetConnect(session, argv[2], 0, argv[3], argv[4],
                                                  kServiceFtp, kFlagPassive, 0);
    if (connection == kNoHandle) {
        return failed(transport, "connect");
    }
    bool ok = put ? transport.ftpPutFile(connection, argv[5], argv[6], kTransferBinary)
                  : transport.ftpGetFile(connection, argv[6], argv[5], false, 0, kTransferBinary);
    if (!ok) {
        return failed(transport, put ? "put" : "get");
    }
    transport.internetCloseHandle(session);
    return 0;
}
