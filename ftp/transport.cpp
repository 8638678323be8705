#include "ftp/transport.h"

#include <cstring>
#include <optional>
#include <variant>
#include <vector>

#include "ftp/address.h"
#include "ftp/names.h"

namespace varnox::ftp {
namespace {

struct ThreadState {
    std::uint32_t error = 0;
    std::uint32_t replyCode = 0;
    std::string reply;
};

thread_local ThreadState threadState;

bool fail(std::uint32_t number) {
    threadState.error = number;
    return false;
}

Handle failHandle(std::uint32_t number) {
    threadState.error = number;
    return kNoHandle;
}

bool succeed() {
    threadState.error = error::kSuccess;
    return true;
}

// Runs one call on a connection: one caller at a time, and the thread's last response
// follows what the server said during the call.
template <typename Call>
std::uint32_t onConnection(Connection& connection, Call call) {
    std::unique_lock<std::mutex> lock(connection.busy(), std::try_to_lock);
    if (!lock.owns_lock()) {
        return error::kTransferInProgress;
    }
    std::uint64_t requests = connection.requests();
    std::uint64_t replies = connection.replies().count();
    std::uint32_t result = call();
    if (connection.requests() != requests) {
        bool answered = connection.replies().count() != replies;
        threadState.reply = answered ? connection.replies().lastReply() : std::string();
        threadState.replyCode = answered ? connection.replies().lastCode() : 0;
    }
    return result;
}

std::optional<TransferType> transferType(std::uint32_t flags) {
    switch (flags & 3U) {
        case 0:
        case kTransferBinary:
            return TransferType::kBinary;
        case kTransferAscii:
            return TransferType::kAscii;
        default:
            return std::nullopt;
    }
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::uint32_t lastError() {
    return threadState.error;
}

struct Transport::Session {
    std::string agent;
    std::optional<Endpoint> gateway;
};

struct Transport::Find {
    std::vector<FindData> entries;
    std::size_t next = 0;
};

struct Transport::Slot {
    Handle parent = kNoHandle;
    std::variant<std::shared_ptr<Session>, std::shared_ptr<Connection>, std::shared_ptr<Find>>
        object;
};

Transport::Transport(Timeouts timeouts) : timeouts_(timeouts) {}

template <typename Object>
Handle Transport::addChild(Handle parent, std::shared_ptr<Object> object) {
    auto slot = std::make_unique<Slot>();
    slot->parent = parent;
    slot->object = std::move(object);
    std::lock_guard<std::mutex> lock(mutex_);
    if (slots_.count(parent) == 0) {
        return failHandle(error::kOperationCancelled);  // the parent closed meanwhile
    }
    Handle handle = add(std::move(slot));
    succeed();
    return handle;
}

Transport::~Transport() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [handle, slot] : slots_) {
        if (auto* connection = std::get_if<std::shared_ptr<Connection>>(&slot->object)) {
            (*connection)->cancel();
        }
    }
    slots_.clear();
}

void Transport::setTimeouts(const Timeouts& timeouts) {
    std::lock_guard<std::mutex> lock(mutex_);
    timeouts_ = timeouts;
}

Handle Transport::add(std::unique_ptr<Slot> slot) {
    while (next_ == kNoHandle || slots_.count(next_) != 0) {
        ++next_;
    }
    Handle handle = next_++;
    slots_.emplace(handle, std::move(slot));
    return handle;
}

std::shared_ptr<Connection> Transport::connectionFor(Handle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(handle);
    if (it == slots_.end()) {
        return nullptr;
    }
    auto* connection = std::get_if<std::shared_ptr<Connection>>(&it->second->object);
    return connection != nullptr ? *connection : nullptr;
}

Handle Transport::internetOpen(std::string_view agent, std::uint32_t accessType,
                               std::string_view proxy, std::string_view, std::uint32_t) {
    auto session = std::make_shared<Session>();
    session->agent = std::string(agent);
    if (accessType == kAccessNamedProxy) {
        std::uint32_t problem = error::kSuccess;
        std::string_view text = trimmed(proxy);
        session->gateway = parseEndpoint(text, kDefaultFtpPort, problem);
        if (text.empty() || !session->gateway) {
            return failHandle(error::kInvalidParameter);
        }
    } else if (accessType != kAccessDirect && accessType != kAccessPreconfig) {
        return failHandle(error::kInvalidParameter);
    }
    auto slot = std::make_unique<Slot>();
    slot->object = session;
    std::lock_guard<std::mutex> lock(mutex_);
    Handle handle = add(std::move(slot));
    succeed();
    return handle;
}

Handle Transport::internetConnect(Handle sessionHandle, std::string_view serverName,
                                  std::uint16_t port, std::string_view user,
                                  std::string_view password, std::uint32_t service,
                                  std::uint32_t flags, std::uintptr_t) {
    std::shared_ptr<Session> session;
    Timeouts timeouts;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = slots_.find(sessionHandle);
        if (it != slots_.end()) {
            if (auto* found = std::get_if<std::shared_ptr<Session>>(&it->second->object)) {
                session = *found;
            }
        }
        timeouts = timeouts_;
    }
    if (!session) {
        return failHandle(error::kInvalidHandle);
    }
    if (service != kServiceFtp) {
        return failHandle(error::kUnrecognizedScheme);
    }
    std::uint32_t problem = error::kSuccess;
    std::optional<Endpoint> server = parseEndpoint(serverName, port, problem);
    if (!server) {
        return failHandle(problem);
    }
    if (!isSendable(user) || !isSendable(password)) {
        return failHandle(error::kInvalidParameter);
    }

    ConnectionSettings settings;
    settings.passive = (flags & kFlagPassive) != 0;
    settings.timeouts = timeouts;
    settings.password = std::string(password);
    if (session->gateway) {
        settings.host = session->gateway->host;
        settings.port = session->gateway->port;
        settings.user = gatewayUser(user.empty() ? "anonymous" : user, *server);
    } else {
        settings.host = server->host;
        settings.port = server->port;
        settings.user = std::string(user);
    }

    auto connection = std::make_shared<Connection>(std::move(settings));
    std::uint32_t result = onConnection(*connection, [&] { return connection->open(); });
    if (result != error::kSuccess) {
        return failHandle(result);
    }
    return addChild(sessionHandle, connection);
}

bool Transport::ftpSetCurrentDirectory(Handle handle, std::string_view directory) {
    std::shared_ptr<Connection> connection = connectionFor(handle);
    if (!connection) {
        return fail(error::kInvalidHandle);
    }
    std::uint32_t result =
        onConnection(*connection, [&] { return connection->changeDirectory(directory); });
    return result == error::kSuccess ? succeed() : fail(result);
}

Handle Transport::ftpFindFirstFile(Handle handle, std::string_view pattern, FindData& data,
                                   std::uint32_t, std::uintptr_t) {
    std::shared_ptr<Connection> connection = connectionFor(handle);
    if (!connection) {
        return failHandle(error::kInvalidHandle);
    }
    if (!isSendable(pattern)) {
        return failHandle(error::kInvalidParameter);
    }
    std::string text;
    std::uint32_t result = onConnection(*connection, [&] { return connection->list(text); });
    if (result != error::kSuccess) {
        return failHandle(result);
    }
    auto find = std::make_shared<Find>();
    for (FindData& entry : parseListing(text)) {
        if (matchesPattern(entry.name, pattern)) {
            find->entries.push_back(std::move(entry));
        }
    }
    if (find->entries.empty()) {
        return failHandle(error::kNoMoreFiles);
    }
    data = find->entries.front();
    find->next = 1;
    return addChild(handle, find);
}

bool Transport::internetFindNextFile(Handle handle, FindData& data) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = slots_.find(handle);
    auto* find =
        it == slots_.end() ? nullptr : std::get_if<std::shared_ptr<Find>>(&it->second->object);
    if (find == nullptr) {
        return fail(error::kInvalidHandle);
    }
    Find& listing = **find;
    if (listing.next >= listing.entries.size()) {
        return fail(error::kNoMoreFiles);
    }
    data = listing.entries[listing.next++];
    return succeed();
}

template <typename Move>
bool Transport::transfer(Handle handle, std::uint32_t flags, Move move) {
    std::shared_ptr<Connection> connection = connectionFor(handle);
    if (!connection) {
        return fail(error::kInvalidHandle);
    }
    std::optional<TransferType> type = transferType(flags);
    if (!type) {
        return fail(error::kInvalidParameter);
    }
    std::uint32_t result = onConnection(*connection, [&] { return move(*connection, *type); });
    return result == error::kSuccess ? succeed() : fail(result);
}

bool Transport::ftpGetFile(Handle handle, std::string_view remoteName,
                           const std::filesystem::path& localPath, bool failIfExists, std::uint32_t,
                           std::uint32_t flags, std::uintptr_t) {
    return transfer(handle, flags, [&](Connection& connection, TransferType type) {
        return connection.download(remoteName, localPath, failIfExists, type);
    });
}

bool Transport::ftpPutFile(Handle handle, const std::filesystem::path& localPath,
                           std::string_view remoteName, std::uint32_t flags, std::uintptr_t) {
    return transfer(handle, flags, [&](Connection& connection, TransferType type) {
        return connection.upload(localPath, remoteName, type);
    });
}

bool Transport::internetGetLastResponseInfo(std::uint32_t& replyCode, std::string& text) {
    replyCode = threadState.replyCode;
    text = threadState.reply;
    return succeed();
}

bool Transport::internetGetLastResponseInfo(std::uint32_t& replyCode, char* buffer,
                                            std::uint32_t& length) {
    const std::string& text = threadState.reply;
    replyCode = threadState.replyCode;
    // Room for the text and its closing NUL.
    std::size_t needed = text.size() + 1;
    if (buffer == nullptr || length < needed) {
        length = static_cast<std::uint32_t>(needed);
        return fail(error::kInsufficientBuffer);
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    length = static_cast<std::uint32_t>(text.size());
    return succeed();
}

bool Transport::internetCloseHandle(Handle handle) {
    // Objects leave the table under the lock but are destroyed after it: a connection
    // says QUIT on its way out, and other threads need not wait for that.
    std::vector<std::unique_ptr<Slot>> closed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handle == kNoHandle || slots_.count(handle) == 0) {
            return fail(error::kInvalidHandle);
        }
        std::vector<Handle> pending{handle};
        while (!pending.empty()) {
            Handle current = pending.back();
            pending.pop_back();
            for (const auto& [child, slot] : slots_) {
                if (slot->parent == current) {
                    pending.push_back(child);
                }
            }
            auto it = slots_.find(current);
            if (auto* connection = std::get_if<std::shared_ptr<Connection>>(&it->second->object)) {
                (*connection)->cancel();
            }
            closed.push_back(std::move(it->second));
            slots_.erase(it);
        }
    }
    closed.clear();
    return succeed();
}

}  // namespace varnox::ftp
