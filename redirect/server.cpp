#include "redirect/server.h"

#include "ftp/address.h"
#include "ftp/errors.h"
#include "ftp/reports.h"
#include "ftp/sftp_address.h"
#include "platform/failure.h"

namespace varnox::redirect {

bool endsTheRun(const Failure& failure) {
    namespace e = ftp::error;
    if (failure.numbering() != Numbering::kInternet) {
        return false;  // about a local file
    }
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
        throw InternetFailure(ftp::error::kOperationCancelled, ftp::kStoppedText);
    }
}

void RedirectServer::check(const ftp::CallResult& result, const std::string& what) {
    // A stop that came just as a call began is not missed: the run goes no further.
    if (result.ok()) {
        checkNotStopped();
        return;
    }
    const bool sftp = ftp::isSftpAddress(setup_.login.server);
    throw InternetFailure(result.error,
                          ftp::failedCallText(what, result, setup_.login.server,
                                              sftp ? setup_.knownHostsFile : setup_.trustedFile));
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
        throw InternetFailure(ftp::error::kInsufficientBuffer,
                              ftp::listingTooLongText(folder(), setup_.login.server, listing));
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

void RedirectServer::get(const std::string& name, const std::filesystem::path& local) {
    checkNotStopped();
    check(session_.get(name, local, ftp::TransferType::kBinary),
          "Cannot download " + name + " from " + setup_.login.server);
}

std::string RedirectServer::address() const {
    std::uint32_t error = 0;
    if (ftp::isSftpAddress(setup_.login.server)) {
        const std::optional<ftp::SftpAddress> address =
            ftp::parseSftpAddress(setup_.login.server, error);
        return address ? address->host + ":" + std::to_string(address->port) : setup_.login.server;
    }
    const std::optional<ftp::Endpoint> endpoint = ftp::parseEndpoint(setup_.login.server, 0, error);
    return endpoint ? endpoint->host + ":" + std::to_string(endpoint->port) : setup_.login.server;
}

}  // namespace varnox::redirect
