#pragma once
// The per-user defaults store: typed reads and writes of small settings by key. Concrete stores
// supply the five primitive operations; the typed getters are shared so that every store reads
// a hand-edited or mistyped value the same way (no value, and the caller's default applies).

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace keskor {

class DefaultsStore {
public:
    virtual ~DefaultsStore() = default;

    /// True when the key holds any object, whatever its type.
    virtual bool contains(const QString& key) const = 0;
    /// The stored object; an invalid QVariant when the key holds nothing.
    virtual QVariant object(const QString& key) const = 0;
    virtual void setObject(const QString& key, const QVariant& value) = 0;
    virtual void remove(const QString& key) = 0;
    /// Writes pending changes to their backing storage and picks up changes made by others.
    virtual void sync() = 0;

    /// The typed getters return no value when the key holds nothing or holds something that
    /// cannot be read as that type; the latter is logged once per key (the key, never the value).
    /// Booleans accept true/false, yes/no, 1/0 (any case) and numbers (non-zero is true).
    std::optional<bool> boolValue(const QString& key) const;
    /// Integers accept whole numbers and decimal integer texts.
    std::optional<qint64> integerValue(const QString& key) const;
    /// Strings accept texts and numbers.
    std::optional<QString> stringValue(const QString& key) const;
    /// Lists accept lists of texts; a single text reads as a list of one (how INI files
    /// store one-element lists).
    std::optional<QStringList> stringList(const QString& key) const;

    void setBool(const QString& key, bool value) { setObject(key, QVariant(value)); }
    void setInteger(const QString& key, qint64 value) { setObject(key, QVariant(value)); }
    void setString(const QString& key, const QString& value) { setObject(key, QVariant(value)); }
    void setStringList(const QString& key, const QStringList& value) {
        setObject(key, QVariant(value));
    }

private:
    void warnIgnored(const QString& key, const char* type) const;

    mutable QSet<QString> m_warnedKeys;
};

} // namespace keskor
