#pragma once
// The request for access to a sealed entry of the open enterprise database: the user gives a
// reason, and the server passes the request on to the entry's approvers.

#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class EnterpriseStorage;
class Info2Item;
class PassFile;
class Presenter;

class SealedAccessViewController {
public:
    struct View {
        /// The request was sent: the dialog closes.
        std::function<void()> close;
    };

    /// `database` is the open enterprise database holding `owner`; both outlive the dialog.
    SealedAccessViewController(EnterpriseStorage& storage, Presenter& presenter,
                               const PassFile& database, std::shared_ptr<Info2Item> owner);
    SealedAccessViewController(const SealedAccessViewController&) = delete;
    SealedAccessViewController& operator=(const SealedAccessViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    const std::shared_ptr<Info2Item>& owner() const noexcept { return m_owner; }
    /// The request button is usable only with a reason.
    static bool canRequest(const QString& reasonText) { return !reasonText.trimmed().isEmpty(); }
    /// Sends the request; false without a reason.
    bool request(const QString& reasonText);

private:
    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    const PassFile& m_database;
    std::shared_ptr<Info2Item> m_owner;
    View m_view;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
