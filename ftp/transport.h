#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "ftp/listing.h"
#include "ftp/reply_log.h"

namespace varnox::ftp {

struct Progress;
enum class TransferType;

// One logged-in connection to a server, as a session uses it, whatever the protocol: FTP
// (Connection) or SFTP (SftpConnection). Each call returns 0 or an error number of
// ftp/errors.h; cancel() and progress() may be used from any thread.
class Transport {
public:
    virtual ~Transport() = default;

    virtual std::uint32_t open() = 0;
    virtual std::uint32_t changeDirectory(std::string_view directory) = 0;
    virtual std::uint32_t list(Listing& listing) = 0;
    virtual std::uint32_t download(std::string_view remoteName,
                                   const std::filesystem::path& localPath, TransferType type) = 0;
    virtual std::uint32_t upload(const std::filesystem::path& localPath,
                                 std::string_view remoteName, TransferType type,
                                 bool* deletedFirst) = 0;
    virtual std::uint32_t remove(std::string_view remoteName) = 0;

    virtual void cancel() = 0;
    virtual Progress& progress() = 0;
    // The server's replies; a call that got one has added to its count.
    virtual const ReplyLog& replies() const = 0;
    virtual const std::string& detail() const = 0;
    virtual const std::string& currentDirectory() const = 0;
};

}  // namespace varnox::ftp
