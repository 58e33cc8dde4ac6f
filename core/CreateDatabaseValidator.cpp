#include "core/CreateDatabaseValidator.h"

#include <QRegularExpression>

namespace keskor {

CreateDatabaseValidator::CreateDatabaseValidator(bool strictAccountRules,
                                                 std::function<int(const QString&)> quality)
    : m_strict(strictAccountRules), m_quality(std::move(quality)) {}

std::optional<QString>
CreateDatabaseValidator::masterPasswordRuleFailure(const QString& password) const {
    if (password.size() < (m_strict ? 8 : 15)) {
        return m_strict ? QStringLiteral("SAP_master_pass_length")
                        : QStringLiteral("NO_SAP_master_pass_length");
    }
    static const QRegularExpression groups[] = {
        QRegularExpression(QStringLiteral("^(?=.*[A-Z]).*$")),
        QRegularExpression(QStringLiteral("^(?=.*[a-z]).*$")),
        QRegularExpression(QStringLiteral("^(?=.*[0-9]).*$")),
        // A printable ASCII punctuation character or a blank.
        QRegularExpression(
            QStringLiteral("^(?=.*[ !\"#$%&'()*+,\\-./:;<=>?@\\[\\\\\\]^_`{|}~]).*$")),
    };
    int matched = 0;
    for (const QRegularExpression& group : groups) {
        matched += group.match(password).hasMatch() ? 1 : 0;
    }
    if (matched < 3) {
        return QStringLiteral("Master_pass_group");
    }
    static const QRegularExpression userId(
        QStringLiteral("([CDIcdi][0-9][0-9][0-9][0-9][0-9][0-9])"));
    if (m_strict && userId.match(password).hasMatch()) {
        return QStringLiteral("SAP_master_pass_userid");
    }
    return std::nullopt;
}

std::optional<QString> CreateDatabaseValidator::firstFailure(const Input& in) const {
    if (in.name.isEmpty()) {
        return QStringLiteral("error_input_db_name");
    }
    if (in.usePassword && in.password.isEmpty()) {
        return QStringLiteral("error_input_master_password");
    }
    if (in.password != in.confirmation) {
        return QStringLiteral("error_password_mismatch");
    }
    if (in.usePassword) {
        if (auto failure = masterPasswordRuleFailure(in.password)) {
            return failure;
        }
        if (in.hint.contains(in.password) || in.description.contains(in.password)) {
            return QStringLiteral("hint_or_description_not_contains_password");
        }
    }
    if (in.useKeyFile && !in.hasKeyFile) {
        return QStringLiteral("error_input_key_file");
    }
    return std::nullopt;
}

bool CreateDatabaseValidator::needsWeakPasswordQuestion(const Input& in) const {
    return in.usePassword && m_quality && m_quality(in.password) <= 20;
}

} // namespace keskor
