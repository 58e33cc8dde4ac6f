#include "enterprise/RevokeAccessViewController.h"

#include "core/shared/DateTimeHelper.h"
#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"
#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

namespace keskor {

namespace {

QString dateText(double value) {
    const QDateTime date = value == 0.0 ? QDateTime() : DateTimeHelper::parseDelphiDate(value);
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yy")) : QString();
}

/// The folders above an entry, from the top.
QString folderPath(const Info2Item& entry) {
    QStringList parts;
    for (const Info2Item* folder = entry.parent(); folder && folder->parent();
         folder = folder->parent()) {
        parts.prepend(folder->description());
    }
    return parts.join(QLatin1Char('/'));
}

} // namespace

RevokeAccessViewController::RevokeAccessViewController(EnterpriseStorage& storage,
                                                       Presenter& presenter,
                                                       const PassFile& database)
    : m_storage(storage), m_presenter(presenter), m_database(database) {
    m_myUserId = m_database.currentUserId;
    if (m_myUserId.isEmpty() && m_storage.credentials() && m_storage.credentials()->id) {
        m_myUserId = *m_storage.credentials()->id;
    }
    std::function<void(const Info2Item&)> collect = [&](const Info2Item& folder) {
        for (const std::shared_ptr<Info2Item>& item : folder.subItems()) {
            for (const AccessPermission& p : item->accessPermissions()) {
                if (!m_myUserId.isEmpty() && p.grantedBy == m_myUserId) {
                    m_accessPermissions.append(p);
                    m_revokeItems.append(RevokeItem{item, p, p.rights});
                }
            }
            collect(*item);
        }
    };
    collect(m_database.root());
}

QStringList RevokeAccessViewController::rowTexts(int row) const {
    if (row < 0 || row >= m_revokeItems.size()) {
        return {};
    }
    const RevokeItem& item = m_revokeItems[row];
    QString sharedWith;
    for (const QVariantMap& user : m_storage.serverUsers()) {
        if (user.value(QStringLiteral("id")).toString() == item.accessPermission->userId) {
            sharedWith = user.value(QStringLiteral("name")).toString();
        }
    }
    return {item.entry ? folderPath(*item.entry) : QString(),
            item.entry ? item.entry->description() : QString(), sharedWith,
            dateText(item.accessPermission->validFrom), dateText(item.accessPermission->validTo)};
}

bool RevokeAccessViewController::canRevoke() const {
    return m_selectedRow >= 0 && m_selectedRow < m_revokeItems.size();
}

bool RevokeAccessViewController::revoke() {
    if (!canRevoke()) {
        return false;
    }
    const QString id = m_revokeItems[m_selectedRow].accessPermission->id;
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    Presenter& presenter = m_presenter;
    m_storage.revokeAccess(
        m_database, id,
        [this, &presenter, id, alive = std::weak_ptr<int>(m_alive)] {
            presenter.hideBusy();
            if (!alive.expired()) {
                removePermission(id);
            }
        },
        [&presenter](const QString& message) {
            presenter.hideBusy();
            presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                            UiText::plain(message), {});
        });
    return true;
}

void RevokeAccessViewController::removePermission(const QString& id) {
    m_accessPermissions.removeIf([&](const AccessPermission& p) { return p.id == id; });
    m_revokeItems.removeIf([&](const RevokeItem& item) { return item.accessPermission->id == id; });
    m_selectedRow = -1;
    if (m_view.reload) {
        m_view.reload();
    }
}

} // namespace keskor
