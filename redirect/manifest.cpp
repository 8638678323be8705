#include "redirect/manifest.h"

#include <charconv>
#include <sstream>

#include "platform/failure.h"
#include "platform/files.h"

namespace varnox::redirect {

namespace {

constexpr const char* kHeader = "varnox-redirect manifest 1";

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; in >> field;) {
        fields.push_back(field);
    }
    return fields;
}

}  // namespace

std::string Manifest::escape(const std::string& name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || byte == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> Manifest::unescape(const std::string& field) {
    std::string name;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            name += field[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= field.size()) {
            return std::nullopt;
        }
        const auto [end, error] =
            std::from_chars(field.data() + i + 1, field.data() + i + 3, value, 16);
        if (error != std::errc() || end != field.data() + i + 3) {
            return std::nullopt;
        }
        name += static_cast<char>(value);
        i += 2;
    }
    return name.empty() ? std::nullopt : std::optional(name);
}

Manifest Manifest::read(const std::filesystem::path& uzFolder) {
    Manifest manifest;
    const std::filesystem::path file = uzFolder / kFileName;
    try {
        const std::optional<std::string> text = platform::readWholeFile(file);
        if (text && !manifest.parse(*text)) {
            manifest = Manifest();
            manifest.problem_ = "The manifest " + file.string() +
                                " is damaged or of another version; it is taken as empty";
        }
    } catch (const Failure& failure) {
        manifest.problem_ = failure.description() + "; the manifest is taken as empty";
    }
    return manifest;
}

bool Manifest::parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) {
        return false;
    }
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = fieldsOf(line);
        if (fields.empty()) {
            continue;
        }
        if (fields[0] == "sent") {
            if (!parseSent(fields)) {
                return false;
            }
            continue;
        }
        if (fields[0] != "uz") {
            otherRecords_.push_back(line);
            continue;
        }
        MadeFrom made;
        const std::optional<std::string> name =
            fields.size() == 6 ? unescape(fields[1]) : std::nullopt;
        if (!name || !parseNumber(fields[2], made.uz.size) ||
            !parseNumber(fields[3], made.uz.modified) ||
            !parseNumber(fields[4], made.package.size) ||
            !parseNumber(fields[5], made.package.modified)) {
            return false;
        }
        madeFrom_[*name] = made;
    }
    return true;
}

bool Manifest::parseSent(const std::vector<std::string>& fields) {
    if (fields.size() != 8) {
        return false;
    }
    const std::optional<std::string> target = unescape(fields[1]);
    const std::optional<std::string> name = unescape(fields[2]);
    SentRecord record;
    if (!target || !name || !parseNumber(fields[3], record.local.size) ||
        !parseNumber(fields[4], record.local.modified) || fields[5].size() != 64) {
        return false;
    }
    record.sha256 = fields[5];
    if (fields[6] != "-") {
        std::uint64_t size = 0;
        if (!parseNumber(fields[6], size)) {
            return false;
        }
        record.serverSize = size;
    }
    if (fields[7] != "-") {
        const std::optional<std::string> time = unescape(fields[7]);
        if (!time) {
            return false;
        }
        record.serverTime = *time;
    }
    sent_[*target][*name] = std::move(record);
    return true;
}

std::map<std::string, SentRecord> Manifest::sentTo(const std::string& target) const {
    const auto found = sent_.find(target);
    return found == sent_.end() ? std::map<std::string, SentRecord>() : found->second;
}

void Manifest::replaceSent(const std::string& target, std::map<std::string, SentRecord> records) {
    if (records.empty()) {
        sent_.erase(target);
    } else {
        sent_[target] = std::move(records);
    }
}

std::optional<MadeFrom> Manifest::madeFrom(const std::string& uzName) const {
    const auto found = madeFrom_.find(uzName);
    return found == madeFrom_.end() ? std::nullopt : std::optional(found->second);
}

void Manifest::record(const std::string& uzName, const MadeFrom& madeFrom) {
    madeFrom_[uzName] = madeFrom;
}

void Manifest::keepOnly(const std::map<std::string, FileFacts>& present) {
    std::erase_if(madeFrom_, [&](const auto& entry) { return !present.contains(entry.first); });
}

std::string Manifest::text() const {
    std::string text = std::string(kHeader) + "\n";
    for (const auto& [name, made] : madeFrom_) {
        text += "uz " + escape(name) + " " + std::to_string(made.uz.size) + " " +
                std::to_string(made.uz.modified) + " " + std::to_string(made.package.size) + " " +
                std::to_string(made.package.modified) + "\n";
    }
    for (const auto& [target, records] : sent_) {
        for (const auto& [name, sent] : records) {
            text += "sent " + escape(target) + " " + escape(name) + " " +
                    std::to_string(sent.local.size) + " " + std::to_string(sent.local.modified) +
                    " " + sent.sha256 + " " +
                    (sent.serverSize ? std::to_string(*sent.serverSize) : "-") + " " +
                    (sent.serverTime.empty() ? "-" : escape(sent.serverTime)) + "\n";
        }
    }
    for (const std::string& line : otherRecords_) {
        text += line + "\n";
    }
    return text;
}

void Manifest::write(const std::filesystem::path& uzFolder) const {
    platform::writeFileAtomically(uzFolder / kFileName, text());
}

}  // namespace varnox::redirect
