#pragma once
// Credentials together with the authentication type a new database is created with.

#include "core/shared/Credentials.h"
#include "core/shared/PassFile.h"

namespace keskor {

class FileCredentials : public Credentials {
public:
    FileCredentials() = default;
    FileCredentials(const std::optional<QString>& password, std::optional<Key256> externalKey,
                    PassFile::AuthenticationType type)
        : Credentials(password, std::move(externalKey)), m_type(type) {}

    PassFile::AuthenticationType type() const noexcept { return m_type; }

private:
    PassFile::AuthenticationType m_type = PassFile::AuthenticationType::Password;
};

} // namespace keskor
