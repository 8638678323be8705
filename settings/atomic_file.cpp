#include "settings/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/failure.h"

namespace varnox::settings {

namespace {

// The new file until it has been renamed into place: closed and removed when the write
// does not get that far.
class PendingFile {
public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() {
        closeQuietly();
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    // Creates the file next to `file`; returns 0 or the system error.
    int create(const std::string& file) {
        std::vector<char> name(file.begin(), file.end());
        const std::string_view suffix = ".new-XXXXXX";
        name.insert(name.end(), suffix.begin(), suffix.end());
        name.push_back('\0');
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ < 0) {
            return errno;
        }
        path_ = name.data();
        return 0;
    }

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Closes the file; returns 0 or the system error.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

    // The file now lives under its final name and must stay.
    void keep() { path_.clear(); }

private:
    void closeQuietly() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    int fd_ = -1;
    std::string path_;
};

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

std::string folderOf(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : file.substr(0, slash);
}

// Makes the rename itself durable. Some file systems refuse to sync a folder; the file is
// complete and in place by now, so that is not reported.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void writeFileAtomically(const std::string& file, std::string_view bytes) {
    PendingFile pending;
    int error = pending.create(file);
    if (error == 0 && ::fchmod(pending.fd(), S_IRUSR | S_IWUSR) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = writeAll(pending.fd(), bytes);
    }
    if (error == 0 && ::fsync(pending.fd()) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = pending.close();
    }
    if (error == 0 && ::rename(pending.path().c_str(), file.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        throw systemFailure(error, "Cannot write " + file);
    }
    pending.keep();
    syncFolder(folderOf(file));
}

}  // namespace varnox::settings
