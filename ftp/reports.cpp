#include "ftp/reports.h"

#include "ftp/errors.h"
#include "ftp/sftp_address.h"

namespace varnox::ftp {

namespace {

// The first line of a reply, without its line end.
std::string firstLine(const std::string& reply) {
    return reply.substr(0, reply.find_first_of("\r\n"));
}

// The user's words for a transport error number.
std::string meaningOf(std::uint32_t number) {
    switch (number) {
        case error::kFileNotFound:
            return "the local file is missing";
        case error::kAccessDenied:
            return "the local file cannot be read";
        case error::kInvalidParameter:
            return "the name or setting cannot be sent to a server";
        case error::kTimeout:
            return "the server did not answer in time";
        case error::kExtendedError:
            return "the server refused";
        case error::kUnrecognizedScheme:
            return "not an FTP server name";
        case error::kNameNotResolved:
            return "the server name is unknown";
        case error::kLoginFailure:
            return "the server refused the user name or password";
        case error::kOperationCancelled:
            return "cancelled";
        case error::kInvalidCa:
            return "its certificate does not verify and is not trusted";
        case error::kHostKeyChanged:
            return "its host key is not the one known for it";
        case error::kCannotConnect:
            return "nothing answers at that address";
        case error::kConnectionAborted:
        case error::kConnectionReset:
            return "the server dropped the connection";
        case error::kSecureFailure:
            return "the TLS handshake failed";
        default:
            return "the transfer failed";
    }
}

}  // namespace

std::string extendedErrorText(std::string_view call, std::uint32_t replyCode,
                              std::string_view reply) {
    return std::string(call) + " Extd Err: " + std::to_string(replyCode) + " " + std::string(reply);
}

std::string closeQuestionText(std::string_view call, std::uint32_t error) {
    return std::string(call) + " Err: " + std::to_string(error) +
           "\r\nClose Connection and Session?";
}

std::string cutReason(const Listing& listing) {
    if (listing.cutBy == Listing::Bound::kEntries) {
        return "the directory holds more than " + std::to_string(listing.bound) + " entries";
    }
    constexpr std::size_t kMiB = 1 << 20;
    return "its listing is longer than " + (listing.bound % kMiB == 0
                                                ? std::to_string(listing.bound / kMiB) + " MiB"
                                                : std::to_string(listing.bound) + " bytes");
}

std::string truncatedListingText(const Listing& listing) {
    return "Only the first " + std::to_string(listing.entries.size()) +
           " entries of this directory are shown: " + cutReason(listing) + ".";
}

std::string notPlainNameText(std::string_view name) {
    return "\"" + std::string(name) +
           "\" is not a plain file name, so it cannot be downloaded into a local folder.";
}

std::string failedCallText(const std::string& what, const CallResult& result,
                           const std::string& server, const std::filesystem::path& trustedFile) {
    std::string text =
        what + ": " + (result.detail.empty() ? meaningOf(result.error) : result.detail);
    if (result.error == error::kInvalidCa) {
        text += std::string(isSftpAddress(server)
                                ? " (check the fingerprint with the server's administrator, then "
                                : " (") +
                "trust it with 'varnox-redirect trust --server " + server +
                "' or in the FTP window of varnox; it is then kept in " + trustedFile.string() +
                ")";
    } else if (!result.reply.empty()) {
        text += "; the server said: " + firstLine(result.reply);
    }
    return text;
}

std::string listingTooLongText(const std::string& folder, const std::string& server,
                               const Listing& listing) {
    return "The listing of " + folder + " on " + server +
           " is too long to read whole: " + cutReason(listing) + " (" +
           std::to_string(listing.entries.size()) +
           (listing.entries.size() == 1 ? " entry" : " entries") + " read)";
}

}  // namespace varnox::ftp
