#pragma once
// The dialog that grants one server user a permission on one entry of the open enterprise
// database: who (never oneself), what (use, read, modify, delete), for how long, and whether
// the entry is sealed until one of the chosen administrators approves a request.

#include "core/shared/AccessPermission.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace keskor {

class EnterpriseStorage;
class Info2Item;
class PassFile;
class Presenter;

class GrantAccessViewController {
public:
    static constexpr std::uint32_t SERVER_ROLE_SUPER_ADMIN = 1;
    static constexpr std::uint32_t SERVER_ROLE_SERVER_ADMIN = 2;
    static constexpr std::uint32_t SERVER_ROLE_DB_ADMIN = 4;
    static constexpr std::uint32_t SERVER_ROLE_USER_ADMIN = 8;
    static constexpr std::uint32_t SERVER_ROLE_AD_OPERATOR = 16;
    static constexpr std::uint32_t SERVER_ROLE_LOG_READER = 32;

    /// What the wizard's controls hold.
    struct Input {
        /// Row of the users table (an index into normalUsers()); -1 for none.
        int user = -1;
        std::optional<QDateTime> validFrom;
        std::optional<QDateTime> validTo;
        bool use = false;
        bool read = false;
        bool modify = false;
        bool remove = false;
        bool seal = false;
    };

    struct View {
        /// The server took the permission: the dialog closes.
        std::function<void()> close;
    };

    /// `database` is the open enterprise database holding `entry`; both outlive the dialog.
    GrantAccessViewController(EnterpriseStorage& storage, Presenter& presenter,
                              const PassFile& database, std::shared_ptr<Info2Item> entry);
    GrantAccessViewController(const GrantAccessViewController&) = delete;
    GrantAccessViewController& operator=(const GrantAccessViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    const std::shared_ptr<Info2Item>& entry() const noexcept { return m_entry; }
    const std::optional<QVariantMap>& me() const noexcept { return m_me; }
    const QList<QVariantMap>& normalUsers() const noexcept { return m_normalUsers; }
    const QList<QVariantMap>& adminUsers() const noexcept { return m_adminUsers; }
    const QList<QVariantMap>& approveUsers() const noexcept { return m_approveUsers; }

    /// A user's roles from their decimal text; missing or unreadable roles are none.
    static std::uint32_t roles(const QVariantMap& user);
    /// "name (fullname)", as the approvers pop-up lists a user.
    static QString userTitle(const QVariantMap& user);

    /// Adds the administrator at `adminIndex` as an approver (once); false when not added.
    bool addApprover(int adminIndex);
    void removeApprover(int index);

    /// The permission the input describes, with a new identifier.
    AccessPermission permission(const Input& input) const;
    /// Finish: sends the permission; false (with a warning) when no user was chosen.
    bool finish(const Input& input);

private:
    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    const PassFile& m_database;
    std::shared_ptr<Info2Item> m_entry;
    View m_view;
    std::optional<QVariantMap> m_me;
    QList<QVariantMap> m_normalUsers;
    QList<QVariantMap> m_adminUsers;
    QList<QVariantMap> m_approveUsers;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
