#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

// The one place where the windows turn the libraries' bytes and paths into text they show,
// and back.
namespace varnox::windows {

QString fromBytes(std::string_view bytes);
std::string toBytes(const QString& text);

QString fromPath(const std::filesystem::path& path);
std::filesystem::path toPath(const QString& text);

}  // namespace varnox::windows
