#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/listing.h"

// The redirect server's folder as a listing shows it, and what an upload has to do there.
// A client asks the server for a package's .uz by its exact name, letter case included, so
// names are compared exactly; a name that matches only in another letter case is reported,
// never taken for the file.
namespace varnox::redirect {

enum class ServerState {
    kMissing,  // no entry of that name
    kDiffers,  // a file of that name and another size
    kSame,     // a file of that name and the same size
    kLink,     // a symbolic link of that name: what it leads to is not looked at
    kFolder,   // a folder of that name: no file can go there
};

struct ServerCopy {
    ServerState state = ServerState::kMissing;
    std::uint64_t size = 0;     // as listed, for kDiffers and kSame
    std::string otherCaseName;  // an entry with the name in another letter case, if any
};

class RemoteFolder {
public:
    explicit RemoteFolder(std::vector<ftp::FindData> entries) : entries_(std::move(entries)) {}

    // What the folder holds under `name` for a local file of `size`; without a size (a file
    // still to be made) a file of that name counts as differing.
    ServerCopy copyOf(std::string_view name, std::optional<std::uint64_t> size) const;
    // The files an interrupted upload left under its temporary name.
    std::vector<std::string> leftovers() const;

private:
    std::vector<ftp::FindData> entries_;
};

// A local .uz for the upload: its size is unknown while it is still to be compressed.
struct LocalUz {
    std::string name;
    std::filesystem::path path;
    std::optional<std::uint64_t> size;
};

struct PlannedUpload {
    LocalUz local;
    ServerCopy server;
};

// What an upload does: remove the leftovers, then upload the files the server lacks or holds
// with another size. Files the server holds with the same size, or as a link, stay.
struct UploadPlan {
    std::vector<std::string> leftovers;
    std::vector<PlannedUpload> uploads;
    std::vector<PlannedUpload> kept;
};

UploadPlan planUpload(const std::vector<LocalUz>& local, const RemoteFolder& remote);

}  // namespace varnox::redirect
