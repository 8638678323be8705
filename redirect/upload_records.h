#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "redirect/local_folder.h"
#include "redirect/manifest.h"
#include "redirect/remote_folder.h"

namespace varnox::redirect {

// The records of what uploads sent to one server folder (a target), as one run changes them:
// read from the manifest at the start, kept there again at the end.
class UploadRecords {
public:
    UploadRecords(std::string target, std::map<std::string, SentRecord> records)
        : target_(std::move(target)), records_(std::move(records)) {}

    const std::map<std::string, SentRecord>& records() const { return records_; }

    // What is about to be sent: the local file's facts and the SHA-256 of its bytes. Throws
    // varnox::Failure naming the file when it cannot be read.
    static SentRecord describe(const LocalUz& file);

    // `name` now holds what `sent` describes: uploaded, or found by download to hold it.
    void sent(const std::string& name, SentRecord sent);
    // The local file holds what was sent, now with other facts (rewritten with the same
    // bytes): the record takes them, so that the file need not be hashed again.
    void refresh(const std::string& name, const FileFacts& facts);
    void removed(const std::string& name);
    // Takes, from the listing after this run's changes, the server's size and time of each
    // file sent by this run, and forgets the files the listing no longer holds.
    void settle(const RemoteFolder& after);

    bool changed() const { return changed_; }
    // Writes the records into the manifest of `uzFolder`, under the uz folder's lock (which a
    // compressing run holds), waited for until `deadline`; the other records there stay.
    // Throws varnox::Failure naming the folder or file when it cannot.
    void keep(const std::filesystem::path& uzFolder,
              std::chrono::steady_clock::time_point deadline) const;

private:
    std::string target_;
    std::map<std::string, SentRecord> records_;
    std::set<std::string> sentNow_;  // names sent by this run
    bool changed_ = false;
};

}  // namespace varnox::redirect
