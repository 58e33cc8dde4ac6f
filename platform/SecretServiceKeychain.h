#pragma once
// The keychain of the desktop: the freedesktop Secret Service (gnome-keyring, KWallet) through
// QtKeychain, under the service name "keskor". QtKeychain's jobs are asynchronous; each call
// here waits for its job in a local event loop, at most `timeoutMs`.
//
// When no Secret Service can be reached (no session bus, no backend, or no answer in time) the
// secrets go to a FileKeychain instead, with one warning; the switch lasts for the process.
// Secrets written to the file in an earlier run stay readable after the service returns.

#include "platform/FileKeychain.h"
#include "platform/Keychain.h"

#include <QDBusConnection>

namespace keskor {

class SecretServiceKeychain : public Keychain {
public:
    /// `bus` is only probed for a connection before the service is tried: a process without a
    /// session bus goes to the file straight away instead of waiting for a time-out.
    SecretServiceKeychain(const QString& fallbackFile, const QDBusConnection& bus,
                          QString service = QStringLiteral("keskor"), int timeoutMs = 5000);
    explicit SecretServiceKeychain(const QString& fallbackFile);

    void set(const QString& key, const QString& text) override;
    std::optional<QString> get(const QString& key) override;
    void remove(const QString& key) override;

    /// True once the file fallback is in use.
    bool usesFallback() const noexcept { return m_useFallback; }

private:
    enum class Outcome : int { Done = 0, NotFound = 1, Unavailable = 2, Failed = 3 };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QString text;
        QString error;
    };
    enum class Operation : int { Read = 0, Write = 1, Delete = 2 };

    Result run(Operation operation, const QString& key, const QString& text);
    bool serviceUsable();
    void switchToFallback(const QString& reason);
    bool fallbackHolds(const QString& key);

    FileKeychain m_fallback;
    QString m_service;
    int m_timeoutMs;
    bool m_useFallback = false;
    bool m_fallbackNoted = false;
    QString m_fallbackReason;
};

} // namespace keskor
