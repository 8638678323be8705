#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

class QLineEdit;

// The one place where the windows turn the libraries' bytes and paths into text they show,
// and back. Settings and names are bytes: text in UTF-8 shows as such, other bytes (a file
// written by a Windows program) show as Windows-1252; what the user types becomes UTF-8.
namespace varnox::windows {

QString fromBytes(std::string_view bytes);
std::string toBytes(const QString& text);
QString fromPath(const std::filesystem::path& path);

// A text box holding a value read as bytes: it shows them as text and gives back the same
// bytes for as long as the user has not edited the text.
void showBytes(QLineEdit* box, std::string_view bytes);
std::string bytesOf(const QLineEdit* box);

// A text to show in a status line or a message box: one longer than `most` characters keeps
// its start and its end, with "..." between them, so a huge path neither hides the message
// nor holds the window up.
constexpr int kMostShownCharacters = 400;
QString shortened(const QString& text, int most = kMostShownCharacters);

}  // namespace varnox::windows
