#include "ftp/window/error_report.h"

#include <vector>

namespace varnox::ftpwin {

ServerResponse lastServerResponse(ftp::Transport& transport) {
    ServerResponse response;
    std::uint32_t length = 0;
    transport.internetGetLastResponseInfo(response.number, nullptr, length);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    if (transport.internetGetLastResponseInfo(response.number, buffer.data(), size)) {
        response.text.assign(buffer.data(), size);
    }
    return response;
}

std::string extendedErrorText(std::string_view call, std::uint32_t number,
                              std::string_view response) {
    std::string text(call);
    text += " Extd Err: ";
    text += std::to_string(number);
    text += ' ';
    text += response;
    return text;
}

std::string closeQuestionText(std::string_view call, std::uint32_t error) {
    std::string text(call);
    text += " Err: ";
    text += std::to_string(error);
    text += "\r\nClose Connection and Session?";
    return text;
}

}  // namespace varnox::ftpwin
