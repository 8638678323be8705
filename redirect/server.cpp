#include "redirect/server.h"

#include "ftp/errors.h"
#include "ftp/sftp_address.h"
#include "platform/failure.h"

namespace varnox::redirect {

namespace {

// The first line of a reply, without its line end.
std::string firstLine(const std::string& reply) {
    return reply.substr(0, reply.find_first_of("\r\n"));
}

// The user's words for a transport error number ("nothing answers at that address").
std::string describeFtpError(std::uint32_t error) {
    namespace e = ftp::error;
    switch (error) {
        case e::kFileNotFound:
            return "the local file is missing";
        case e::kAccessDenied:
            return "the local file cannot be read";
        case e::kInvalidParameter:
            return "the name or setting cannot be sent to a server";
        case e::kTimeout:
            return "the server did not answer in time";
        case e::kExtendedError:
            return "the server refused";
        case e::kUnrecognizedScheme:
            return "not an FTP server name";
        case e::kNameNotResolved:
            return "the server name is unknown";
        case e::kLoginFailure:
            return "the server refused the user name or password";
        case e::kOperationCancelled:
            return "cancelled";
        case e::kInvalidCa:
            return "its certificate does not verify and is not trusted";
        case e::kHostKeyChanged:
            return "its host key is not the one known for it";
        case e::kCannotConnect:
            return "nothing answers at that address";
        case e::kConnectionAborted:
        case e::kConnectionReset:
            return "the server dropped the connection";
        case e::kSecureFailure:
            return "the TLS handshake failed";
        default:
            return "the transfer failed";
    }
}

}  // namespace

bool endsTheRun(const Failure& failure) {
    namespace e = ftp::error;
    switch (static_cast<std::uint32_t>(failure.number())) {
        case e::kTimeout:
        case e::kInternalError:
        case e::kInvalidUrl:
        case e::kUnrecognizedScheme:
        case e::kNameNotResolved:
        case e::kLoginFailure:
        case e::kOperationCancelled:
        case e::kInvalidCa:
        case e::kHostKeyChanged:
        case e::kCannotConnect:
        case e::kConnectionAborted:
        case e::kConnectionReset:
        case e::kTransferInProgress:
        case e::kInvalidHandle:
        case e::kSecureFailure:
            return true;
        default:
            return false;
    }
}

RedirectServer::RedirectServer(ServerSetup setup, ftp::TrustQuestion askToTrust,
                               ftp::HostKeyQuestion askToTrustHostKey)
    : setup_(std::move(setup)),
      trusted_(setup_.trustedFile),
      knownHosts_(setup_.knownHostsFile),
      session_(setup_.timeouts, &trusted_, std::move(askToTrust)) {
    session_.checkHostKeys(&knownHosts_, std::move(askToTrustHostKey));
}

void RedirectServer::stop() {
    if (!stopped_.exchange(true)) {
        session_.cancel();
    }
}

void RedirectServer::checkNotStopped() const {
    if (stopped_) {
        throw Failure(static_cast<int>(ftp::error::kOperationCancelled),
                      "Stopped: the run's time is up");
    }
}

void RedirectServer::check(const ftp::CallResult& result, const std::string& what) {
    // A stop that came just as a call began is not missed: the run goes no further.
    if (result.ok()) {
        checkNotStopped();
        return;
    }
    std::string text =
        what + ": " + (result.detail.empty() ? describeFtpError(result.error) : result.detail);
    if (result.error == ftp::error::kInvalidCa) {
        const bool sftp = ftp::isSftpAddress(setup_.login.server);
        text += std::string(sftp ? " (check the fingerprint with the server's administrator, then "
                                 : " (") +
                "trust it with 'varnox-redirect trust --server " + setup_.login.server +
                "' or in the FTP window of varnox; it is then kept in " +
                (sftp ? setup_.knownHostsFile : setup_.trustedFile).string() + ")";
    } else if (!result.reply.empty()) {
        text += "; the server said: " + firstLine(result.reply);
    }
    throw Failure(static_cast<int>(result.error), text);
}

void RedirectServer::connect() {
    const std::string server = "Cannot connect to " + setup_.login.server;
    checkNotStopped();
    check(session_.open(""), server);
    check(session_.connect(setup_.login), server);
    if (!setup_.remoteFolder.empty()) {
        check(session_.changeDirectory(setup_.remoteFolder),
              "Cannot open the folder " + setup_.remoteFolder + " on " + setup_.login.server);
    }
}

std::vector<ftp::FindData> RedirectServer::list() {
    ftp::Listing listing;
    checkNotStopped();
    check(session_.list(listing), "Cannot list " + folder() + " on " + setup_.login.server);
    if (listing.truncated) {
        throw Failure(static_cast<int>(ftp::error::kInsufficientBuffer),
                      "The listing of " + folder() + " on " + setup_.login.server +
                          " is too long to read whole: " + ftp::cutReason(listing) + " (" +
                          std::to_string(listing.entries.size()) +
                          (listing.entries.size() == 1 ? " entry" : " entries") + " read)");
    }
    return std::move(listing.entries);
}

void RedirectServer::remove(const std::string& name) {
    checkNotStopped();
    check(session_.remove(name), "Cannot delete " + name + " on " + setup_.login.server);
}

bool RedirectServer::put(const std::filesystem::path& local, const std::string& name) {
    bool deletedFirst = false;
    checkNotStopped();
    check(session_.put(local, name, ftp::TransferType::kBinary, &deletedFirst),
          "Cannot upload " + local.string() + " as " + name);
    return deletedFirst;
}

}  // namespace varnox::redirect
