#include "ftp/session.h"

#include <pwd.h>
#include <unistd.h>

#include "ftp/errors.h"
#include "ftp/names.h"
#include "ftp/sftp_connection.h"

namespace varnox::ftp {

namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A call's number, with the server's last reply when one came after `before` replies.
CallResult outcomeOf(std::uint32_t error, const Transport& connection, std::uint64_t before) {
    CallResult outcome{error, 0, {}, {}};
    if (connection.replies().count() != before) {
        outcome.reply = connection.replies().lastReply();
        outcome.replyCode = connection.replies().lastCode();
    }
    if (error != 0) {
        outcome.detail = connection.detail();
    }
    return outcome;
}

CallResult failed(std::uint32_t error) {
    return CallResult{error, 0, {}, {}};
}

// Runs `call`, which returns a CallResult; an exception from it becomes the result.
template <typename Call>
CallResult guarded(Call call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return CallResult{error::kNotEnoughMemory, 0, {}, "Out of memory"};
    } catch (const std::exception& failure) {
        return CallResult{error::kInternalError, 0, {}, failure.what()};
    } catch (...) {
        return failed(error::kInternalError);
    }
}

// The control connection was found closed: the server said so ("421") or it went away.
bool foundClosed(const CallResult& result) {
    return result.replyCode == 421 || result.error == error::kConnectionAborted ||
           result.error == error::kConnectionReset;
}

}  // namespace

Session::Session(Timeouts timeouts, settings::TrustedServers* trusted, TrustQuestion askToTrust)
    : timeouts_(timeouts), trusted_(trusted), askToTrust_(std::move(askToTrust)) {}

Session::~Session() = default;

CallResult Session::open(std::string_view gateway) {
    std::lock_guard<std::mutex> lock(busy_);
    gateway_.reset();
    if (!gateway.empty()) {
        std::uint32_t problem = error::kSuccess;
        const std::string_view text = trimmed(gateway);
        gateway_ = parseEndpoint(text, kDefaultFtpPort, problem);
        if (text.empty() || !gateway_) {
            gateway_.reset();
            return failed(error::kInvalidParameter);
        }
    }
    state_ = State::kOpen;
    return {};
}

void Session::close() {
    disconnect();
    std::lock_guard<std::mutex> lock(busy_);
    gateway_.reset();
    state_ = State::kIdle;
}

CallResult Session::connect(const Login& login) {
    return guarded([&] { return connectNow(login); });
}

CallResult Session::connectNow(const Login& login) {
    std::lock_guard<std::mutex> lock(busy_);
    if (state_ != State::kOpen) {
        return failed(error::kInvalidHandle);
    }
    if (isSftpAddress(login.server)) {
        CallResult failure;
        std::shared_ptr<Transport> connection = sftpConnection(login, failure);
        return connection ? connectThrough(std::move(connection)) : failure;
    }
    std::uint32_t problem = error::kSuccess;
    const std::optional<Endpoint> server = parseEndpoint(login.server, 0, problem);
    if (!server) {
        return failed(problem);
    }
    if (!isSendable(login.user) || !isSendable(login.password)) {
        return failed(error::kInvalidParameter);
    }
    ConnectionSettings settings;
    settings.passive = login.passive;
    settings.timeouts = timeouts_;
    settings.password = login.password;
    settings.security = server->security;
    settings.trusted = trusted_;
    settings.askToTrust = askToTrust_;
    if (gateway_) {
        settings.host = gateway_->host;
        settings.port = gateway_->port;
        settings.user = gatewayUser(login.user.empty() ? "anonymous" : login.user, *server);
    } else {
        settings.host = server->host;
        settings.port = server->port;
        settings.user = login.user;
    }
    return connectThrough(std::make_shared<Connection>(std::move(settings)));
}

std::shared_ptr<Transport> Session::sftpConnection(const Login& login, CallResult& failure) const {
    std::uint32_t problem = error::kSuccess;
    std::optional<SftpAddress> address = parseSftpAddress(login.server, problem);
    failure = failed(problem);
    if (!address) {
        return nullptr;
    }
    if (gateway_) {
        failure = {error::kInvalidParameter,
                   0,
                   {},
                   "SFTP cannot go through an FTP gateway: start the session without a proxy "
                   "to reach " +
                       login.server};
        return nullptr;
    }
    SftpSettings settings;
    settings.user = !address->user.empty() ? address->user : login.user;
    if (settings.user.empty()) {
        const passwd* entry = ::getpwuid(::geteuid());
        settings.user = entry != nullptr ? entry->pw_name : "";
    }
    if (!isSendable(settings.user) || !isSendable(login.password)) {
        failure = failed(error::kInvalidParameter);
        return nullptr;
    }
    settings.address = std::move(*address);
    settings.password = login.password;
    settings.identity = login.identity;
    settings.rootAtStart = login.rootAtStart;
    settings.timeouts = timeouts_;
    settings.knownHosts = knownHosts_;
    settings.askToTrust = askToTrustHostKey_;
    return std::make_shared<SftpConnection>(std::move(settings));
}

CallResult Session::connectThrough(std::shared_ptr<Transport> connection) {
    {
        std::lock_guard<std::mutex> pointers(pointers_);
        connecting_ = connection;
    }
    const std::uint64_t replies = connection->replies().count();
    const CallResult outcome =
        guarded([&] { return outcomeOf(connection->open(), *connection, replies); });
    std::lock_guard<std::mutex> pointers(pointers_);
    connecting_.reset();
    if (outcome.ok()) {
        connection_ = std::move(connection);
        state_ = State::kConnected;
    }
    return outcome;
}

void Session::disconnect() {
    cancel();
    std::shared_ptr<Transport> ending;
    {
        std::lock_guard<std::mutex> lock(busy_);
        std::lock_guard<std::mutex> pointers(pointers_);
        ending = std::move(connection_);
        if (state_ == State::kConnected) {
            state_ = State::kOpen;
        }
    }
    ending.reset();  // says QUIT on its way out
}

std::shared_ptr<Transport> Session::cancellable() {
    std::lock_guard<std::mutex> pointers(pointers_);
    return connecting_ ? connecting_ : connection_;
}

template <typename Call>
CallResult Session::onConnection(Call call, bool again) {
    std::unique_lock<std::mutex> lock(busy_, std::try_to_lock);
    if (!lock.owns_lock()) {
        return failed(error::kTransferInProgress);
    }
    if (!connection_) {
        return failed(error::kInvalidHandle);
    }
    auto attempt = [&] {
        return guarded([&] {
            const std::uint64_t replies = connection_->replies().count();
            const std::uint32_t error = call(*connection_);
            return outcomeOf(error, *connection_, replies);
        });
    };
    CallResult outcome = attempt();
    if (!outcome.ok() && again && foundClosed(outcome)) {
        // libcurl logs in anew for the next request, which names its folder in full.
        outcome = attempt();
    }
    return outcome;
}

CallResult Session::changeDirectory(std::string_view directory) {
    return onConnection([&](Transport& c) { return c.changeDirectory(directory); });
}

CallResult Session::list(Listing& listing) {
    listing = Listing{};
    return onConnection([&](Transport& c) { return c.list(listing); });
}

CallResult Session::get(std::string_view remoteName, const std::filesystem::path& localPath,
                        TransferType type) {
    return onConnection([&](Transport& c) { return c.download(remoteName, localPath, type); });
}

CallResult Session::put(const std::filesystem::path& localPath, std::string_view remoteName,
                        TransferType type, bool* deletedFirst) {
    // An upload meets a closed connection again by itself (Connection::upload).
    return onConnection(
        [&](Transport& c) { return c.upload(localPath, remoteName, type, deletedFirst); }, false);
}

CallResult Session::remove(std::string_view remoteName) {
    return onConnection([&](Transport& c) { return c.remove(remoteName); });
}

Session::Done Session::progress() {
    Done done;
    if (std::shared_ptr<Transport> connection = cancellable()) {
        done.bytes = connection->progress().done;
        done.total = connection->progress().total;
        done.entries = connection->progress().entries;
    }
    return done;
}

void Session::cancel() {
    if (std::shared_ptr<Transport> connection = cancellable()) {
        connection->cancel();
    }
}

const std::string& Session::currentDirectory() const {
    static const std::string kNone;
    return connection_ ? connection_->currentDirectory() : kNone;
}

}  // namespace varnox::ftp
