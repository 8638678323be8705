#pragma once

#include <QString>
#include <ostream>

// Status texts in test messages as text, not as code units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
