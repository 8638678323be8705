#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "ftp/listing.h"
#include "ftp/session.h"

// The texts that tell the user how FTP calls went, in one place for the FTP window and
// varnox-redirect. They are bytes: names and replies go in as the server sent them.
namespace varnox::ftp {

// The FTP window's notes.
constexpr const char* kNoServerText = "Please enter a server name!";
constexpr const char* kEmptyDirectoryText = "This directory is empty!";
constexpr const char* kNoSessionForTreeText = "No in session!";
constexpr const char* kNoSelectionText = "no Selection to enumerate";
constexpr const char* kNoDirectoryText = "Please enter the directory to CD";
constexpr const char* kNoSessionText = "Not in session";
constexpr const char* kSelectGetText = "Please select the item to GET!";
constexpr const char* kSelectPutFolderText = "Please select a remote directory to PUT to!";
constexpr const char* kSelectLocalFileText = "Please select a local file to put";

// The FTP window's report of a failed call: for an extended error (12003) first the call,
// " Extd Err: ", the reply code, a blank and the reply text; then always the question: the
// call, " Err: ", the error number, CR LF and "Close Connection and Session?".
std::string extendedErrorText(std::string_view call, std::uint32_t replyCode,
                              std::string_view reply);
std::string closeQuestionText(std::string_view call, std::uint32_t error);

// Why a truncated listing stopped, for its reader: "the directory holds more than 32767
// entries" or "its listing is longer than 64 MiB".
std::string cutReason(const Listing& listing);
// The FTP window's note on a truncated listing: the entries shown and the bound that stopped
// it.
std::string truncatedListingText(const Listing& listing);
// The FTP window's note on a remote name that cannot be a local file's.
std::string notPlainNameText(std::string_view name);

// varnox-redirect's report of the failed call `what` ("Cannot list /uz on HOST"): what went
// wrong on this side (naming the file) or what the number means ("nothing answers at that
// address"), then the server's first reply line, or for a certificate the user did not trust,
// how to trust it (`server` as the user named it; the trust kept in `trustedFile`, the
// known_hosts file for an SFTP server).
std::string failedCallText(const std::string& what, const CallResult& result,
                           const std::string& server, const std::filesystem::path& trustedFile);
// varnox-redirect's report of a listing of `folder` on `server` that the bounds cut.
std::string listingTooLongText(const std::string& folder, const std::string& server,
                               const Listing& listing);
// Why varnox-redirect's calls stopped at its time limit.
constexpr const char* kStoppedText = "Stopped: the run's time is up";

}  // namespace varnox::ftp
