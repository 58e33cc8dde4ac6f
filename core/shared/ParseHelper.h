#pragma once
// Text forms of values as the database's XML and text formats write them, and their parsers.
// Numbers always use the C locale, whatever the user's locale is.

#include <QString>
#include <optional>

namespace keskor {

class ParseHelper {
public:
    /// "True"/"False" with names, "1"/"0" without.
    static QString stringFromBool(bool value, bool useBoolNames);
    /// Shortest text that reads back as the same double ("0", "45123.5", "1e+20").
    static QString stringFromDouble(double value);
    /// A currency amount with four decimals at most and two at least ("12.50", "0.1234").
    static QString stringFromCurrency(double amount);
    /// XML escaping for element text and attribute values; characters XML 1.0 cannot carry
    /// (controls other than tab, line feed and carriage return, lone surrogates) become U+FFFD.
    static QString rawStringToXml(const QString& text);

    /// Accepts "1"/"0", "true"/"false", "yes"/"no" in any case.
    static std::optional<bool> parseBool(const QString& text);
    static std::optional<double> parseDouble(const QString& text);
    static std::optional<qint64> parseInteger(const QString& text);
};

} // namespace keskor
