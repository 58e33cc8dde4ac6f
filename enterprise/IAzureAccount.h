#pragma once
// The Microsoft account behind the Azure route of the enterprise log-in. The OneDrive storage
// provides it; the enterprise storage only needs a fresh token and the tenant.

#include <QString>
#include <functional>

namespace keskor {

class IAzureAccount {
public:
    virtual ~IAzureAccount() = default;

    /// Signs in (interactively when needed); exactly one callback, on the main thread.
    virtual void login(std::function<void()> success,
                       std::function<void(const QString& message)> failure) = 0;
    /// Renews the access token silently before a request; exactly one callback, main thread.
    virtual void refresh(std::function<void()> success,
                         std::function<void(const QString& message)> failure) = 0;
    virtual QString tenantIdentifier() const = 0;
    virtual QString accessToken() const = 0;
    /// The signed-in account's user name.
    virtual QString userName() const = 0;
};

} // namespace keskor
