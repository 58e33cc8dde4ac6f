#pragma once
// Readable GoogleTest output for the Qt text types these tests compare.

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << "{\n  \"" << list.join(QStringLiteral("\",\n  \"")).toStdString() << "\"\n}";
}
