#pragma once
// What a user unlocks a database with: a master password, a key file's key, or both.
// Both parts are held in wiping memory and never printed.

#include "core/shared/Key256.h"
#include "core/shared/SecureBytes.h"

#include <QString>
#include <optional>

namespace keskor {

class Credentials {
public:
    Credentials() = default;
    Credentials(const std::optional<QString>& password, std::optional<Key256> externalKey);

    bool hasPassword() const noexcept { return m_hasPassword; }
    /// UTF-8 bytes of the password; empty when there is none.
    const SecureBytes& password() const noexcept { return m_password; }
    const std::optional<Key256>& externalKey() const noexcept { return m_externalKey; }

    /// True when both hold the same password (or both none) and the same key (or both none).
    static bool isSame(const Credentials& left, const Credentials& right);

private:
    bool m_hasPassword = false;
    SecureBytes m_password;
    std::optional<Key256> m_externalKey;
};

} // namespace keskor
