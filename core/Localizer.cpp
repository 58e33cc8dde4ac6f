#include "core/Localizer.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace keskor {

namespace {
QString tablePath(const QString& folder, const QString& code) {
    return folder.isEmpty() ? QStringLiteral(":/strings/%1.json").arg(code)
                            : QDir(folder).filePath(code + QStringLiteral(".json"));
}
} // namespace

QStringList Localizer::availableLanguages() {
    return {QStringLiteral("en"), QStringLiteral("de")};
}

Localizer::Localizer(const QString& language, const QString& version, const QString& overrideFolder,
                     const QLocale& system)
    : m_version(version), m_overrideFolder(overrideFolder) {
    QString code = language.trimmed().toLower();
    if (code.isEmpty() || code == QLatin1String("auto")) {
        code = QLocale::languageToCode(system.language());
    }
    if (!availableLanguages().contains(code) && !QFile::exists(tablePath(m_overrideFolder, code))) {
        code = QStringLiteral("en");
    }
    m_language = code;
    m_english = load(QStringLiteral("en"));
    m_table = code == QLatin1String("en") ? m_english : load(code);
}

QHash<QString, QString> Localizer::load(const QString& code) const {
    QHash<QString, QString> table;
    QString path = tablePath(m_overrideFolder, code);
    if (!m_overrideFolder.isEmpty() && !QFile::exists(path)) {
        path = tablePath(QString(), code); // the folder overrides only what it has
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "texts: no string table" << path;
        return table;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qWarning().noquote() << "texts: the string table" << path
                             << "is not a JSON object:" << error.errorString();
        return table;
    }
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString()) {
            table.insert(it.key(), it.value().toString());
        } else {
            qWarning().noquote() << "texts: the value of" << it.key() << "in" << path
                                 << "is not a text";
        }
    }
    return table;
}

QString Localizer::text(const QString& key) const {
    QString value;
    if (m_table.contains(key)) {
        value = m_table.value(key);
    } else if (m_english.contains(key)) {
        value = m_english.value(key);
    } else {
        if (!m_reported.contains(key)) {
            m_reported.insert(key);
            qWarning().noquote() << "texts: no text for the key" << key;
        }
        return key;
    }
    if (key == QLatin1String("app_name")) {
        value += QStringLiteral(" v") + m_version.left(2);
    }
    return value;
}

QString Localizer::text(const QString& key, const QStringList& args) const {
    QString value = text(key);
    for (const QString& arg : args) {
        value = value.arg(arg);
    }
    return value;
}

QString Localizer::text(const UiText& t) const {
    return t.isKey() ? text(t.value()) : t.value();
}

std::function<QString(const QString&)> Localizer::lookup() const {
    return [this](const QString& key) { return text(key); };
}

} // namespace keskor
