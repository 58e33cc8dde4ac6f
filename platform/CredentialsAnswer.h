#pragma once
// What the user entered in a credentials prompt. The password is handed on to Credentials,
// which keeps it in wiping memory, and never logged.

#include <QString>
#include <optional>

namespace keskor {

struct CredentialsAnswer {
    /// Empty when no password was asked or entered.
    QString password;
    /// The chosen key file; no value when none was given.
    std::optional<QString> keyFilePath;

    bool operator==(const CredentialsAnswer&) const = default;
};

} // namespace keskor
