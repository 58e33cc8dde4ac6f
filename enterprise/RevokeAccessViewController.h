#pragma once
// The dialog that lists the permissions the current user granted on the open enterprise
// database and withdraws the selected one on the server.

#include "core/shared/AccessPermission.h"
#include "enterprise/RevokeItem.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace keskor {

class EnterpriseStorage;
class PassFile;
class Presenter;

class RevokeAccessViewController {
public:
    /// Localisation keys of the columns, in table order.
    static inline const QStringList columns{
        QStringLiteral("permissionTablePathCol"), QStringLiteral("permissionTableDescriptionCol"),
        QStringLiteral("permissionTableSharedWithCol"),
        QStringLiteral("permissionTableValidFromCol"), QStringLiteral("permissionTableValidToCol")};

    struct View {
        /// Shows the rows again.
        std::function<void()> reload;
    };

    /// `database` is the open enterprise database; it outlives the dialog.
    RevokeAccessViewController(EnterpriseStorage& storage, Presenter& presenter,
                               const PassFile& database);
    RevokeAccessViewController(const RevokeAccessViewController&) = delete;
    RevokeAccessViewController& operator=(const RevokeAccessViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    const QString& myUserId() const noexcept { return m_myUserId; }
    const QList<AccessPermission>& accessPermissions() const noexcept {
        return m_accessPermissions;
    }
    const QList<RevokeItem>& revokeItems() const noexcept { return m_revokeItems; }
    /// The texts of a row, one per column.
    QStringList rowTexts(int row) const;

    void setSelectedRow(int row) { m_selectedRow = row; }
    bool canRevoke() const;
    /// Withdraws the selected row's permission; false without a selection.
    bool revoke();

private:
    void removePermission(const QString& id);

    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    const PassFile& m_database;
    QString m_myUserId;
    View m_view;
    QList<AccessPermission> m_accessPermissions;
    QList<RevokeItem> m_revokeItems;
    int m_selectedRow = -1;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
