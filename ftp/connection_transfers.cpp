// A connection's transfers: sizes, downloads into a file that appears only when complete,
// uploads under a temporary name renamed when complete, deletes.
#include <curl/curl.h>

#include "ftp/connection.h"
#include "ftp/curl_handle.h"
#include "ftp/errors.h"
#include "ftp/local_file.h"
#include "ftp/remote_path.h"
#include "platform/files.h"

namespace varnox::ftp {

std::uint32_t Connection::remoteSize(const std::string& path, std::optional<std::uint64_t>& size) {
    size.reset();
    Request request;
    request.noBody = true;
    if (const std::uint32_t result = perform(fileUrlPath(path), request);
        result != error::kSuccess) {
        return result;
    }
    curl_off_t reported = -1;
    curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &reported);
    if (reported >= 0) {
        size = static_cast<std::uint64_t>(reported);
    }
    return error::kSuccess;
}

std::uint32_t Connection::download(std::string_view remoteName,
                                   const std::filesystem::path& localPath, TransferType type) {
    begin();
    if (!usableRemoteName(remoteName)) {
        return error::kInvalidParameter;
    }
    const std::string path = childPath(directory_, remoteName);
    PendingDownload target(localPath);
    if (std::uint32_t result = target.open(); result != error::kSuccess) {
        return result;
    }
    progress_.done = 0;
    progress_.total = 0;
    // In binary the size the server gives is the size that must arrive; a text transfer
    // changes its line ends on the way.
    std::optional<std::uint64_t> size;
    if (type == TransferType::kBinary) {
        if (std::uint32_t result = remoteSize(path, size); result != error::kSuccess) {
            return result;
        }
        progress_.total = size.value_or(0);
    }
    Request request;
    request.download = &target;
    request.ascii = type == TransferType::kAscii;
    if (std::uint32_t result = perform(fileUrlPath(path), request); result != error::kSuccess) {
        return result;
    }
    if (size && target.written() != *size) {
        return error::kConnectionAborted;  // the server ended the file early
    }
    return target.commit();
}

std::uint32_t Connection::upload(const std::filesystem::path& localPath,
                                 std::string_view remoteName, TransferType type,
                                 bool* deletedFirst) {
    begin();
    if (deletedFirst != nullptr) {
        *deletedFirst = false;
    }
    if (!usableRemoteName(remoteName)) {
        return error::kInvalidParameter;
    }
    const std::string final = childPath(directory_, remoteName);
    std::uint32_t result = error::kSuccess;
    for (int attempt = 0; attempt < 2; ++attempt) {
        UploadSource source(localPath, type == TransferType::kAscii);
        if (result = source.open(); result != error::kSuccess) {
            return result;
        }
        progress_.done = 0;
        progress_.total = static_cast<std::uint64_t>(source.size());
        const std::uint64_t replies = replies_.count();
        result = uploadOnce(source, final, type, deletedFirst);
        if (result == error::kSuccess || cancelled_ || !wasCut(result, replies)) {
            break;
        }
    }
    return result;
}

bool Connection::wasCut(std::uint32_t result, std::uint64_t repliesBefore) const {
    const std::uint32_t code = replies_.count() != repliesBefore ? replies_.lastCode() : 0;
    return result == error::kConnectionAborted || result == error::kConnectionReset ||
           code == 421 || code == 425 || code == 426 || code == 522;
}

std::uint32_t Connection::uploadOnce(UploadSource& source, const std::string& final,
                                     TransferType type, bool* deletedFirst) {
    const std::string temporary = childPath(directory_, kUploadPrefix + platform::randomLetters());
    Request request;
    request.upload = &source;
    request.ascii = type == TransferType::kAscii;
    request.after = {"RNFR " + temporary, "RNTO " + final};
    std::uint32_t result = perform(fileUrlPath(temporary), request);
    if (result == error::kSuccess) {
        return result;
    }
    ReplyLog failure = replies_;  // what the caller is told
    std::optional<std::uint64_t> stored;
    // libcurl sends the renames only after a complete transfer, so a refused rename is a
    // complete file under the temporary name; a file cut short never takes the name.
    if (curlResult_ == CURLE_QUOTE_ERROR && !cancelled_ &&
        remoteSize(temporary, stored) == error::kSuccess && stored) {
        // Stored, but not renamed onto the file that is there: that one goes first.
        result = commands({"DELE " + final, "RNFR " + temporary, "RNTO " + final});
        if (result == error::kSuccess) {
            if (deletedFirst != nullptr) {
                *deletedFirst = true;
            }
            return result;
        }
        failure = replies_;
    }
    removeAfterFailure(temporary, cancelled_ || result == error::kTimeout);
    replies_ = failure;
    return result;
}

std::uint32_t Connection::remove(std::string_view remoteName) {
    begin();
    if (!usableRemoteName(remoteName)) {
        return error::kInvalidParameter;
    }
    return commands({"DELE " + childPath(directory_, remoteName)});
}

}  // namespace varnox::ftp
