#pragma once
// The activation of two-factor codes during the enterprise log-in: shows the secret as text
// and as a QR image for the authenticator app, and sends the first code it makes.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class EnterpriseStorage;
class Presenter;

class Activate2FAViewController {
public:
    struct View {
        /// Closes the dialog (the server took the answer, or asked for another step).
        std::function<void()> close;
    };

    Activate2FAViewController(EnterpriseStorage& storage, Presenter& presenter);
    Activate2FAViewController(const Activate2FAViewController&) = delete;
    Activate2FAViewController& operator=(const Activate2FAViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    /// The secret for manual entry and the PNG bytes of its QR code.
    const QString& secret() const noexcept { return m_secret; }
    const QByteArray& qrCode() const noexcept { return m_qrCode; }
    void setSecret(const QString& secret, const QByteArray& qrCode) {
        m_secret = secret;
        m_qrCode = qrCode;
    }
    /// Activates with the first code; false (with a warning) for an empty one.
    bool activate(const QString& code);

private:
    /// The callbacks of the storage request: the dialog closes on success and on a further
    /// demand of the server (whose dialog opens next); other failures are shown.
    std::function<void()> succeeded();
    std::function<void(const QString&)> failed();

    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    View m_view;
    QString m_secret;
    QByteArray m_qrCode;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
