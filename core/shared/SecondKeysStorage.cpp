#include "core/shared/SecondKeysStorage.h"

namespace keskor {

std::optional<Key256> SecondKeysStorage::get(const QString& id) const {
    const auto it = m_keys.find(id);
    if (it == m_keys.end()) {
        return std::nullopt;
    }
    return it->second;
}

} // namespace keskor
