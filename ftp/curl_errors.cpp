#include "ftp/curl_errors.h"

#include "ftp/errors.h"

namespace varnox::ftp {

std::uint32_t errorFromCurl(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return error::kSuccess;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return error::kUnrecognizedScheme;
        case CURLE_URL_MALFORMAT:
            return error::kInvalidUrl;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
            return error::kNameNotResolved;
        case CURLE_COULDNT_CONNECT:
        case CURLE_FTP_ACCEPT_FAILED:
        case CURLE_FTP_CANT_GET_HOST:
        case CURLE_INTERFACE_FAILED:
            return error::kCannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_FTP_ACCEPT_TIMEOUT:
            return error::kTimeout;
        case CURLE_LOGIN_DENIED:
            return error::kLoginFailure;
        // The server answered with a refusal or with something we could not use; its
        // reply text tells the user more.
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_FTP_WEIRD_PASS_REPLY:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
        case CURLE_FTP_COULDNT_SET_TYPE:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_QUOTE_ERROR:
        case CURLE_UPLOAD_FAILED:
        case CURLE_FTP_PORT_FAILED:
        case CURLE_FTP_COULDNT_USE_REST:
        case CURLE_REMOTE_DISK_FULL:
        case CURLE_REMOTE_FILE_EXISTS:
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_USE_SSL_FAILED:
            return error::kExtendedError;
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
            return error::kConnectionAborted;
        case CURLE_RECV_ERROR:
            return error::kConnectionReset;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
            return error::kSecureFailure;
        case CURLE_WRITE_ERROR:
            return error::kWriteFault;
        case CURLE_READ_ERROR:
            return error::kReadFault;
        case CURLE_OUT_OF_MEMORY:
            return error::kNotEnoughMemory;
        case CURLE_ABORTED_BY_CALLBACK:
            return error::kOperationCancelled;
        default:
            return error::kInternalError;
    }
}

}  // namespace varnox::ftp
