#pragma once
// The two-factor code dialog of the enterprise log-in: the code from the authenticator and
// whether the server may trust this device from now on.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class EnterpriseStorage;
class Presenter;

class Login2FAViewController {
public:
    struct View {
        /// Closes the dialog (the server took the answer, or asked for another step).
        std::function<void()> close;
    };

    Login2FAViewController(EnterpriseStorage& storage, Presenter& presenter);
    Login2FAViewController(const Login2FAViewController&) = delete;
    Login2FAViewController& operator=(const Login2FAViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    /// Preset from the server: whether this device may be trusted.
    bool trust() const noexcept { return m_trust; }
    void setTrust(bool trust) { m_trust = trust; }
    /// Logs in again with the code; false (with a warning) for an empty one.
    bool confirm(const QString& code);

private:
    /// The callbacks of the storage request: the dialog closes on success and on a further
    /// demand of the server (whose dialog opens next); other failures are shown.
    std::function<void()> succeeded();
    std::function<void(const QString&)> failed();

    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    View m_view;
    bool m_trust = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
