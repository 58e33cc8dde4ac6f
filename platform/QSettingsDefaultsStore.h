#pragma once
// The defaults store of the program: an INI file (AppPaths::settingsFile) read and written
// through QSettings. A file that cannot be read or parsed is moved aside to "<file>.broken" and
// the store starts empty, so a damaged file never crashes the program nor is overwritten.

#include "platform/DefaultsStore.h"

#include <QSettings>
#include <QVariantMap>
#include <memory>

namespace keskor {

class QSettingsDefaultsStore : public DefaultsStore {
public:
    explicit QSettingsDefaultsStore(const QString& path);
    ~QSettingsDefaultsStore() override;

    bool contains(const QString& key) const override;
    QVariant object(const QString& key) const override;
    void setObject(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
    void sync() override;

    QString path() const { return m_path; }
    /// False when even a fresh file could not be used; the store then only keeps values in
    /// memory for this run.
    bool isPersistent() const noexcept { return m_settings != nullptr; }

private:
    void open();

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_memoryOnly;
    bool m_warnedSync = false;
};

} // namespace keskor
