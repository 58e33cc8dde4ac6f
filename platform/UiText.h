#pragma once
// A user-facing text handed to a presenter: either a localisation key, looked up in the string
// table by whoever shows it, or a text shown as it is (a server's message, an error text).
// Keys are always written as UiText::key("...") in the code, so a test can collect them.

#include <QString>

namespace keskor {

class UiText {
public:
    UiText() = default;
    static UiText key(const QString& key) { return UiText(key, true); }
    static UiText plain(const QString& text) { return UiText(text, false); }

    bool isKey() const noexcept { return m_isKey; }
    bool isEmpty() const noexcept { return m_value.isEmpty(); }
    const QString& value() const noexcept { return m_value; }

    bool operator==(const UiText&) const = default;

private:
    UiText(QString value, bool isKey) : m_value(std::move(value)), m_isKey(isKey) {}
    QString m_value;
    bool m_isKey = false;
};

} // namespace keskor
