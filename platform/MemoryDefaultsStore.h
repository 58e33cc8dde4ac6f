#pragma once
// A defaults store in memory for tests; counts writes so a test can check that reading a
// default never writes it.

#include "platform/DefaultsStore.h"

#include <QVariantMap>

namespace keskor {

class MemoryDefaultsStore : public DefaultsStore {
public:
    MemoryDefaultsStore() = default;
    explicit MemoryDefaultsStore(QVariantMap values) : m_values(std::move(values)) {}

    bool contains(const QString& key) const override { return m_values.contains(key); }
    QVariant object(const QString& key) const override { return m_values.value(key); }
    void setObject(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;
    void sync() override { ++m_syncCount; }

    /// setObject and remove calls (every typed setter goes through setObject).
    int writeCount() const noexcept { return m_writeCount; }
    int syncCount() const noexcept { return m_syncCount; }
    const QVariantMap& values() const noexcept { return m_values; }

private:
    QVariantMap m_values;
    int m_writeCount = 0;
    int m_syncCount = 0;
};

} // namespace keskor
