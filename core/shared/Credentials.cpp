#include "core/shared/Credentials.h"

namespace keskor {

Credentials::Credentials(const std::optional<QString>& password, std::optional<Key256> externalKey)
    : m_hasPassword(password.has_value()), m_externalKey(std::move(externalKey)) {
    if (password) {
        m_password = SecureBytes::fromText(*password);
    }
}

bool Credentials::isSame(const Credentials& left, const Credentials& right) {
    if (left.m_hasPassword != right.m_hasPassword ||
        left.m_externalKey.has_value() != right.m_externalKey.has_value()) {
        return false;
    }
    // Evaluate both comparisons so the time taken does not say which part differed.
    const bool samePassword = left.m_password.equals(right.m_password);
    const bool sameKey = !left.m_externalKey || *left.m_externalKey == *right.m_externalKey;
    return samePassword && sameKey;
}

} // namespace keskor
