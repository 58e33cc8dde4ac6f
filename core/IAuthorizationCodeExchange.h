#pragma once
// A store whose sign-in ends with a code the user copies from the provider's page by hand
// (HiDrive): the file browser asks for the code and hands it over here.

#include "core/IRemoteStorage.h"

#include <QString>

namespace keskor {

class IAuthorizationCodeExchange {
public:
    virtual ~IAuthorizationCodeExchange() = default;

    /// Trades the typed code for the provider's tokens; the callbacks follow IRemoteStorage.
    virtual void exchangeCode(const QString& code, IRemoteStorage::Success success,
                              IRemoteStorage::Failure failure) = 0;
};

} // namespace keskor
