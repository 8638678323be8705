#include "windows/text.h"

#include <QLineEdit>
#include <QStringDecoder>

namespace varnox::windows {

namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined keep their value.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char* const kBytesProperty = "varnoxBytes";

}  // namespace

QString fromBytes(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) {
        return text;
    }
    text.clear();
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (unsigned char byte : bytes) {
        text += QChar(byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : char16_t(byte));
    }
    return text;
}

std::string toBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString fromPath(const std::filesystem::path& path) {
    return fromBytes(path.native());
}

void showBytes(QLineEdit* box, std::string_view bytes) {
    box->setText(fromBytes(bytes));
    box->setProperty(kBytesProperty,
                     QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string bytesOf(const QLineEdit* box) {
    const QByteArray original = box->property(kBytesProperty).toByteArray();
    if (box->text() == fromBytes(std::string_view(original.data(), original.size()))) {
        return original.toStdString();
    }
    return toBytes(box->text());
}

QString shortened(const QString& text, int most) {
    if (text.size() <= most) {
        return text;
    }
    const int keep = (most - 3) / 2;
    return text.left(keep) + QStringLiteral("...") + text.right(most - 3 - keep);
}

}  // namespace varnox::windows
