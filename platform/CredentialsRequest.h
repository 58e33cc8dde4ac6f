#pragma once
// What a credentials prompt asks for: the database it is for, and whether a password, a key
// file or both are wanted.

#include "platform/CredentialsAnswer.h"
#include "platform/UiText.h"

#include <QString>
#include <functional>
#include <optional>

namespace keskor {

struct CredentialsRequest {
    /// The name shown to the user (the file's name, the server database's name).
    QString databaseName;
    /// The password hint stored with the database; empty when there is none.
    QString hint;
    bool askPassword = true;
    bool askKeyFile = false;
    /// Unlocking an open database after a lock rather than opening one.
    bool unlock = false;
    /// Checked on confirm: an error text keeps the prompt open showing it; no value accepts.
    /// Lets wrong credentials be re-entered without closing the dialog.
    std::function<std::optional<UiText>(const CredentialsAnswer&)> validate;
};

} // namespace keskor
