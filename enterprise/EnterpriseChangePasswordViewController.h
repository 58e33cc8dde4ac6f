#pragma once
// The new password the enterprise server demands before it lets the user in: typed twice,
// sent with the old one, then the log-in runs again with it.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class EnterpriseStorage;
class Presenter;

class EnterpriseChangePasswordViewController {
public:
    struct View {
        /// Closes the dialog (the server took the answer, or asked for another step).
        std::function<void()> close;
    };

    EnterpriseChangePasswordViewController(EnterpriseStorage& storage, Presenter& presenter);
    EnterpriseChangePasswordViewController(const EnterpriseChangePasswordViewController&) = delete;
    EnterpriseChangePasswordViewController&
    operator=(const EnterpriseChangePasswordViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    /// False (with a warning) for an empty field or two different new passwords.
    bool change(const QString& newPassword, const QString& repeat);

private:
    /// The callbacks of the storage request: the dialog closes on success and on a further
    /// demand of the server (whose dialog opens next); other failures are shown.
    std::function<void()> succeeded();
    std::function<void(const QString&)> failed();

    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    View m_view;

    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
