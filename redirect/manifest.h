#pragma once

#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "redirect/local_folder.h"

// What the uz folder knows about how its .uz files were made, in one small hidden file.
namespace varnox::redirect {

// A .uz as it was written, and the package as it was read to make it.
struct MadeFrom {
    FileFacts uz;
    FileFacts package;

    bool operator==(const MadeFrom&) const = default;
};

// What an upload sent to one server folder: the local file as it was when its bytes were
// hashed, and the server's copy as the listing after the upload showed it.
struct SentRecord {
    FileFacts local;
    std::string sha256;                       // 64 lower-case hexadecimal digits
    std::optional<std::uint64_t> serverSize;  // nothing when no listing came after the upload
    std::string serverTime;                   // as listed (ftp::FindData::time); may be empty

    bool operator==(const SentRecord&) const = default;
};

// The manifest of a uz folder: a versioned text file, one typed record a line,
//
//     varnox-redirect manifest 1
//     uz NAME UZ-SIZE UZ-NANOSECONDS PACKAGE-SIZE PACKAGE-NANOSECONDS
//     sent TARGET NAME SIZE NANOSECONDS SHA-256 SERVER-SIZE SERVER-TIME
//
// names written with "%XX" for blanks, control bytes, "%" and bytes past 0x7F; in a sent
// record TARGET names the server and its folder ("host:port /folder"), and "-" stands for a
// server size or time the listing did not give. Records of a kind this version does not know
// are kept as they are when the file is written again, so that later kinds fit without a
// format break. The file is written whole with an atomic replace, under the uz folder's lock.
// A file that cannot be read, or is of another version or damaged, counts as empty;
// problem() says why.
class Manifest {
public:
    static constexpr const char* kFileName = ".varnox-manifest";

    Manifest() = default;
    // Reads the manifest of `uzFolder`; none there is an empty one.
    static Manifest read(const std::filesystem::path& uzFolder);

    std::optional<MadeFrom> madeFrom(const std::string& uzName) const;
    void record(const std::string& uzName, const MadeFrom& madeFrom);
    // Keeps only the records of .uz files in `present`.
    void keepOnly(const std::map<std::string, FileFacts>& present);

    // What uploads sent to one target, by the name on the server.
    std::map<std::string, SentRecord> sentTo(const std::string& target) const;
    // The records of `target` become `records`; the other targets' stay.
    void replaceSent(const std::string& target, std::map<std::string, SentRecord> records);

    std::string text() const;
    // Throws varnox::Failure naming the file when it cannot be written.
    void write(const std::filesystem::path& uzFolder) const;

    // Why the file read was taken as empty, if it was.
    const std::optional<std::string>& problem() const { return problem_; }

    // A name as a record holds it, and back; nothing for a field that is not one.
    static std::string escape(const std::string& name);
    static std::optional<std::string> unescape(const std::string& field);
    // A whole number as a record holds it, in decimal; false for a field that is not one.
    template <typename Number>
    static bool parseNumber(const std::string& field, Number& value) {
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        return error == std::errc() && end == field.data() + field.size();
    }

private:
    bool parse(const std::string& text);

    bool parseSent(const std::vector<std::string>& fields);

    std::map<std::string, MadeFrom> madeFrom_;
    std::map<std::string, std::map<std::string, SentRecord>> sent_;  // by target, then name
    std::vector<std::string> otherRecords_;
    std::optional<std::string> problem_;
};

}  // namespace varnox::redirect
