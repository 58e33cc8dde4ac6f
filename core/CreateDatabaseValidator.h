#pragma once
// The checks of the new-database dialog, in their order. Each failure names the localisation
// key of its warning; the last check asks whether a weak password is wanted anyway.

#include <QString>
#include <functional>
#include <optional>

namespace keskor {

class CreateDatabaseValidator {
public:
    struct Input {
        QString name;
        bool usePassword = true;
        QString password;
        QString confirmation;
        QString hint;
        QString description;
        bool useKeyFile = false;
        bool hasKeyFile = false;
    };

    /// `strictAccountRules` stands for the deployment flag that selects the stricter
    /// master-password rules; `quality` rates a password (the generator's entropy in bits).
    CreateDatabaseValidator(bool strictAccountRules, std::function<int(const QString&)> quality);

    /// The key of the first failed check, or none when all pass.
    std::optional<QString> firstFailure(const Input& input) const;
    /// True when the password is weak enough to ask "password_policy_too_weak" first.
    bool needsWeakPasswordQuestion(const Input& input) const;

private:
    std::optional<QString> masterPasswordRuleFailure(const QString& password) const;

    bool m_strict;
    std::function<int(const QString&)> m_quality;
};

} // namespace keskor
