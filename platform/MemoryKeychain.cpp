#include "platform/MemoryKeychain.h"

namespace keskor {

std::optional<QString> MemoryKeychain::get(const QString& key) {
    const auto it = m_items.constFind(key);
    if (it == m_items.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

} // namespace keskor
