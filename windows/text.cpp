#include "windows/text.h"

namespace varnox::windows {

QString fromBytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString fromPath(const std::filesystem::path& path) {
    return fromBytes(path.native());
}

std::filesystem::path toPath(const QString& text) {
    return std::filesystem::path(toBytes(text));
}

}  // namespace varnox::windows
