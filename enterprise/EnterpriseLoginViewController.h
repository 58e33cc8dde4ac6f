#pragma once
// The enterprise log-in dialog's logic: checks the input, logs in with a password or through
// the Azure account, and turns the server's demands (new password, two-factor activation or
// code) into the next dialog. The widget shows `initialInput()` and forwards OK.

#include "core/shared/ProtocolVersion.h"
#include "enterprise/ServerCredentials.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace keskor {

class EnterpriseStorage;
class Presenter;

class EnterpriseLoginViewController {
public:
    enum class Method : int { standard = 0, azure = 1 };

    /// What the dialog's fields hold.
    struct Input {
        QString address;
        QString port;
        QString userName;
        QString password;
        /// Index into ProtocolVersions::allCases.
        int version = 2;
        bool useSSL = false;
    };

    struct View {
        /// The log-in succeeded (also after a follow-up dialog): the dialog closes.
        std::function<void()> loggedIn;
    };

    /// Names of the follow-up dialogs the presenter opens.
    static inline const QString changePasswordDialog =
        QStringLiteral("EnterpriseChangePasswordViewController");
    static inline const QString activate2FADialog = QStringLiteral("Activate2FAViewController");
    static inline const QString login2FADialog = QStringLiteral("Login2FAViewController");

    EnterpriseLoginViewController(EnterpriseStorage& storage, Presenter& presenter,
                                  Method method = Method::standard);
    EnterpriseLoginViewController(const EnterpriseLoginViewController&) = delete;
    EnterpriseLoginViewController& operator=(const EnterpriseLoginViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    Method method() const noexcept { return m_method; }
    /// The fields prefilled from the last log-in (no password).
    Input initialInput() const;
    /// The titles of the version selector, one per known protocol version.
    static QStringList versionTitles();
    /// The port typed, or the default one when empty or not a number.
    static int portOf(const QString& field);

    /// A code typed into a two-factor dialog, sent with the next log-in.
    void setTwoFactorCode(const QString& code, bool trust);
    /// OK: false when input is missing (the warning was shown), true once the log-in started.
    bool ok(const Input& input);

    /// Shows a log-in failure: opens the dialog a server demand asks for, or an error alert.
    /// Shared by the follow-up dialogs, whose requests can end in a further demand. True when
    /// a follow-up dialog was opened.
    static bool showFailure(Presenter& presenter, const EnterpriseStorage& storage,
                            const QString& failure);
    /// Whether a failure text is one of the server's demands rather than an error.
    static bool isDemand(const QString& failure);

private:
    void failed(const QString& message);
    template <typename F> auto guarded(F f);

    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    Method m_method;
    View m_view;
    std::optional<QString> m_code;
    bool m_trust = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
