#include "platform/MemoryDefaultsStore.h"

namespace keskor {

void MemoryDefaultsStore::setObject(const QString& key, const QVariant& value) {
    ++m_writeCount;
    if (!value.isValid()) {
        m_values.remove(key);
        return;
    }
    m_values.insert(key, value);
}

void MemoryDefaultsStore::remove(const QString& key) {
    ++m_writeCount;
    m_values.remove(key);
}

} // namespace keskor
