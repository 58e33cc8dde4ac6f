#include "enterprise/GrantAccessViewController.h"

#include "core/shared/AccessRights.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/FingerPrintHelper.h"
#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"
#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

namespace {

const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");

/// The server's identifier of a user; users without one are sent as "null".
QString idOf(const QVariantMap& user) {
    const QString id = user.value(kId).toString();
    return id.isEmpty() ? QStringLiteral("null") : id;
}

} // namespace

GrantAccessViewController::GrantAccessViewController(EnterpriseStorage& storage,
                                                     Presenter& presenter, const PassFile& database,
                                                     std::shared_ptr<Info2Item> entry)
    : m_storage(storage), m_presenter(presenter), m_database(database), m_entry(std::move(entry)) {
    const QString myName = m_storage.credentials() ? m_storage.credentials()->userName : QString();
    for (const QVariantMap& user : m_storage.serverUsers()) {
        const std::uint32_t r = roles(user);
        const bool isMe = !m_me && user.value(kName).toString() == myName;
        if (isMe) {
            m_me = user;
        } else if (!(r & SERVER_ROLE_SUPER_ADMIN)) {
            m_normalUsers.append(user);
        }
        // Administrators approve sealed entries; one may be oneself.
        if (r & (SERVER_ROLE_SUPER_ADMIN | SERVER_ROLE_SERVER_ADMIN | SERVER_ROLE_DB_ADMIN)) {
            m_adminUsers.append(user);
        }
    }
}

std::uint32_t GrantAccessViewController::roles(const QVariantMap& user) {
    bool number = false;
    const qulonglong value = user.value(QStringLiteral("roles")).toString().toULongLong(&number);
    return number ? std::uint32_t(value) : 0;
}

QString GrantAccessViewController::userTitle(const QVariantMap& user) {
    return QStringLiteral("%1 (%2)").arg(user.value(kName).toString(),
                                         user.value(QStringLiteral("fullname")).toString());
}

bool GrantAccessViewController::addApprover(int adminIndex) {
    if (adminIndex < 0 || adminIndex >= m_adminUsers.size() ||
        m_approveUsers.contains(m_adminUsers[adminIndex])) {
        return false;
    }
    m_approveUsers.append(m_adminUsers[adminIndex]);
    return true;
}

void GrantAccessViewController::removeApprover(int index) {
    if (index >= 0 && index < m_approveUsers.size()) {
        m_approveUsers.removeAt(index);
    }
}

AccessPermission GrantAccessViewController::permission(const Input& input) const {
    AccessPermission p;
    p.id = FingerPrintHelper::getNewFingerprint();
    p.userId = input.user >= 0 && input.user < m_normalUsers.size()
                   ? idOf(m_normalUsers[input.user])
                   : QStringLiteral("null");
    if (m_me) {
        p.grantedBy = m_me->value(kId).toString();
    }
    if (input.validFrom) {
        p.validFrom = DateTimeHelper::toDelphiTime(*input.validFrom);
    }
    if (input.validTo) {
        p.validTo = DateTimeHelper::toDelphiTime(*input.validTo);
    }
    p.rights = (input.use ? AccessRights::PWD_ACCESS_USE : 0) |
               (input.read ? AccessRights::PWD_ACCESS_READ : 0) |
               (input.modify ? AccessRights::PWD_ACCESS_MODIFY : 0) |
               (input.remove ? AccessRights::PWD_ACCESS_DELETE : 0);
    // Sealing without anyone to approve would lock the entry for good.
    if (input.seal && !m_approveUsers.isEmpty()) {
        p.sealed = true;
        for (const QVariantMap& approver : m_approveUsers) {
            p.approvers.append(idOf(approver));
        }
    }
    return p;
}

bool GrantAccessViewController::finish(const Input& input) {
    if (input.user < 0 || input.user >= m_normalUsers.size() || !m_entry) {
        m_presenter.alert(AlertStyle::warning, UiText::plain(QStringLiteral("Warning")),
                          UiText::key(QStringLiteral("error_input_required")), {});
        return false;
    }
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    Presenter& presenter = m_presenter;
    m_storage.grantAccess(
        m_database, m_entry->fingerprint(), permission(input),
        [this, &presenter, alive = std::weak_ptr<int>(m_alive)] {
            presenter.hideBusy();
            if (!alive.expired() && m_view.close) {
                m_view.close();
            }
        },
        [&presenter](const QString& message) {
            presenter.hideBusy();
            presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                            UiText::plain(message), {});
        });
    return true;
}

} // namespace keskor
