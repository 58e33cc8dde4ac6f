#pragma once
// User-facing texts by localisation key, from the string tables compiled into the program
// (resources/strings/<language>.json) or from a folder that overrides them. A key missing in
// the chosen language falls back to English; one missing everywhere shows itself, so the gap
// is visible, and is reported once.

#include "platform/UiText.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace keskor {

class Localizer {
public:
    /// `language` is a code ("en", "de") or "auto" for the system's language (`system`).
    /// `overrideFolder` holds <code>.json files that replace the compiled-in tables.
    explicit Localizer(const QString& language = QStringLiteral("auto"),
                       const QString& version = QStringLiteral(KESKOR_VERSION),
                       const QString& overrideFolder = QString(),
                       const QLocale& system = QLocale::system());

    /// The language whose table is used first.
    const QString& language() const noexcept { return m_language; }
    /// The languages with a compiled-in table.
    static QStringList availableLanguages();

    QString text(const QString& key) const;
    /// The text with its "%1", "%2"... filled in order.
    QString text(const QString& key, const QStringList& args) const;
    QString text(const UiText& text) const;
    /// A lookup for code that takes a plain function (the tools' controllers).
    std::function<QString(const QString&)> lookup() const;

private:
    QHash<QString, QString> load(const QString& code) const;

    QString m_language;
    QString m_version;
    QString m_overrideFolder;
    QHash<QString, QString> m_table;
    QHash<QString, QString> m_english;
    mutable QSet<QString> m_reported;
};

} // namespace keskor
