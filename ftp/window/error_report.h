#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ftp/transport.h"

// The texts of the FTP window's report of a failed FTP call.
namespace varnox::ftpwin {

// The server's last reply, as the transport keeps it for the calling thread.
struct ServerResponse {
    std::uint32_t number = 0;  // the reply code, 0 when no reply came
    std::string text;          // every line of the reply, each ending in CR LF
};

// Fetches the last reply in two steps: its length first, then the text into a buffer one
// byte longer.
ServerResponse lastServerResponse(ftp::Transport& transport);

// The first message for an extended error (12003): call, " Extd Err: ", the reply code, a
// blank and the reply text.
std::string extendedErrorText(std::string_view call, std::uint32_t number,
                              std::string_view response);

// The question that ends every report: call, " Err: ", the error number, CR LF and
// "Close Connection and Session?".
std::string closeQuestionText(std::string_view call, std::uint32_t error);

}  // namespace varnox::ftpwin
