#include "redirect/upload_records.h"

#include "redirect/bulk_compress.h"
#include "redirect/file_hash.h"

namespace varnox::redirect {

SentRecord UploadRecords::describe(const LocalUz& file) {
    SentRecord record;
    record.local = factsOf(file.path);
    record.sha256 = sha256Of(file.path);
    if (factsOf(file.path) != record.local) {
        throw Failure(failure::kPathFileAccessError,
                      "Cannot upload " + file.path.string() + ": it changed while it was read");
    }
    return record;
}

void UploadRecords::sent(const std::string& name, SentRecord sent) {
    records_[name] = std::move(sent);
    sentNow_.insert(name);
    changed_ = true;
}

void UploadRecords::refresh(const std::string& name, const FileFacts& facts) {
    const auto found = records_.find(name);
    if (found != records_.end() && found->second.local != facts) {
        found->second.local = facts;
        changed_ = true;
    }
}

void UploadRecords::removed(const std::string& name) {
    changed_ = records_.erase(name) > 0 || changed_;
}

void UploadRecords::settle(const RemoteFolder& after) {
    for (auto it = records_.begin(); it != records_.end();) {
        const ServerCopy copy = after.copyOf(it->first, it->second.local.size);
        if (copy.state != ServerState::kSame && copy.state != ServerState::kDiffers) {
            it = records_.erase(it);
            changed_ = true;
            continue;
        }
        if (sentNow_.contains(it->first)) {
            it->second.serverSize = copy.size;
            it->second.serverTime = copy.time;
        }
        ++it;
    }
}

void UploadRecords::keep(const std::filesystem::path& uzFolder,
                         std::chrono::steady_clock::time_point deadline) const {
    const UzFolderLock lock(uzFolder, deadline);
    Manifest manifest = Manifest::read(uzFolder);
    manifest.replaceSent(target_, records_);
    manifest.write(uzFolder);
}

}  // namespace varnox::redirect
