#pragma once
// Secrets of the program (provider tokens, the installation key, device tokens) stored as text
// by key. Calls are synchronous and made on the main thread.

#include <QString>
#include <optional>

namespace keskor {

class Keychain {
public:
    virtual ~Keychain() = default;

    /// Stores `text` under `key`, replacing what was there. Throws CommonException when the
    /// secret cannot be stored (the message never contains it).
    virtual void set(const QString& key, const QString& text) = 0;
    /// The text stored under `key`; no value when there is none or it cannot be read (logged).
    virtual std::optional<QString> get(const QString& key) = 0;
    /// Removes `key`; removing an absent key is not an error. Throws CommonException on failure.
    virtual void remove(const QString& key) = 0;
};

} // namespace keskor
