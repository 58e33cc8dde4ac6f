#include "enterprise/EnterpriseLoginViewController.h"

#include "core/shared/IProtocol.h"
#include "enterprise/EnterpriseStorage.h"
#include "enterprise/IAzureAccount.h"
#include "platform/Presenter.h"

#include <QVariantMap>

namespace keskor {

namespace {

constexpr int kDefaultPort = IProtocol::DEFAULT_PORT;

UiText key(const char* k) {
    return UiText::key(QString::fromLatin1(k));
}

} // namespace

EnterpriseLoginViewController::EnterpriseLoginViewController(EnterpriseStorage& storage,
                                                             Presenter& presenter, Method method)
    : m_storage(storage), m_presenter(presenter), m_method(method) {}

template <typename F> auto EnterpriseLoginViewController::guarded(F f) {
    // The busy overlay belongs to the window and goes even when the dialog is gone.
    return [&presenter = m_presenter, alive = std::weak_ptr<int>(m_alive),
            f = std::move(f)](auto&&... args) mutable {
        if (alive.expired()) {
            presenter.hideBusy();
        } else {
            f(std::forward<decltype(args)>(args)...);
        }
    };
}

EnterpriseLoginViewController::Input EnterpriseLoginViewController::initialInput() const {
    const ServerCredentials stored = m_storage.storedCredentials();
    Input input;
    input.address = stored.host;
    input.port = stored.host.isEmpty() ? QString() : QString::number(stored.port);
    input.userName = stored.userName;
    input.useSSL = stored.useSSL;
    for (std::size_t i = 0; i < ProtocolVersions::allCases.size(); ++i) {
        if (ProtocolVersions::allCases[i] == stored.protocolVersion) {
            input.version = int(i);
        }
    }
    return input;
}

QStringList EnterpriseLoginViewController::versionTitles() {
    QStringList titles;
    for (const ProtocolVersion v : ProtocolVersions::allCases) {
        titles.append(QString::number(ProtocolVersions::raw(v)));
    }
    return titles;
}

int EnterpriseLoginViewController::portOf(const QString& field) {
    bool number = false;
    const int port = field.trimmed().toInt(&number);
    return number ? port : kDefaultPort;
}

void EnterpriseLoginViewController::setTwoFactorCode(const QString& code, bool trust) {
    m_code = code;
    m_trust = trust;
}

bool EnterpriseLoginViewController::ok(const Input& input) {
    const bool azure = m_method == Method::azure;
    if (input.address.isEmpty() || input.port.isEmpty() ||
        (!azure && (input.userName.isEmpty() || input.password.isEmpty()))) {
        m_presenter.alert(AlertStyle::warning, UiText::plain(QStringLiteral("Warning")),
                          key("error_input_required"), {});
        return false;
    }
    m_presenter.showBusy(key("connect_to_server"));
    ServerCredentials credentials;
    credentials.host = input.address;
    credentials.port = portOf(input.port);
    credentials.userName = input.userName;
    credentials.password = input.password;
    const std::size_t index = std::size_t(input.version);
    credentials.protocolVersion = index < ProtocolVersions::allCases.size()
                                      ? ProtocolVersions::allCases[index]
                                      : ProtocolVersion::version2;
    credentials.useSSL = input.useSSL;
    const ConnectionData2FA tfa = m_storage.twoFactorData(m_code, m_code && m_trust);

    const auto success = guarded([this] {
        m_presenter.hideBusy();
        if (m_view.loggedIn) {
            m_view.loggedIn();
        }
    });
    const auto failure = guarded([this](const QString& message) { failed(message); });
    if (azure) {
        IAzureAccount* account = m_storage.azureAccount();
        if (!account) {
            failed(QStringLiteral("failed"));
            return true;
        }
        account->login(guarded([this, account, credentials, tfa, success, failure]() mutable {
                           credentials.userName = account->userName();
                           m_storage.login(credentials, true, tfa, success, failure);
                       }),
                       failure);
        return true;
    }
    m_storage.login(credentials, false, tfa, success, failure);
    return true;
}

void EnterpriseLoginViewController::failed(const QString& message) {
    m_presenter.hideBusy();
    showFailure(m_presenter, m_storage, message);
    // The follow-up dialogs are modal: when they end, the log-in may have been completed.
    if (isDemand(message) && m_storage.isLoggedIn() && m_view.loggedIn) {
        m_view.loggedIn();
    }
}

bool EnterpriseLoginViewController::isDemand(const QString& failure) {
    const QString first = failure.section(QString::fromLatin1(EnterpriseStorage::separator), 0, 0);
    return failure == QLatin1String(EnterpriseStorage::passwordResetRequired) ||
           (failure.contains(QString::fromLatin1(EnterpriseStorage::separator)) &&
            (first == QLatin1String(EnterpriseStorage::activate2FAPrefix) ||
             first == QLatin1String(EnterpriseStorage::login2FAPrefix)));
}

bool EnterpriseLoginViewController::showFailure(Presenter& presenter,
                                                const EnterpriseStorage& storage,
                                                const QString& failure) {
    if (failure == QLatin1String(EnterpriseStorage::passwordResetRequired)) {
        presenter.openDialog(changePasswordDialog, {});
        return true;
    }
    const QStringList parts = failure.split(QString::fromLatin1(EnterpriseStorage::separator));
    if (parts.size() > 1 && parts[0] == QLatin1String(EnterpriseStorage::activate2FAPrefix)) {
        presenter.openDialog(activate2FADialog, {{QStringLiteral("secret"), parts[1]},
                                                 {QStringLiteral("qrCode"),
                                                  storage.qrCodeData().value_or(QByteArray())}});
        return true;
    }
    if (parts.size() > 1 && parts[0] == QLatin1String(EnterpriseStorage::login2FAPrefix)) {
        QVariantMap values{{QStringLiteral("trust"), parts[1] == QLatin1String("true")}};
        if (parts.size() > 2) {
            values.insert(QStringLiteral("description"),
                          parts.mid(2).join(QString::fromLatin1(EnterpriseStorage::separator)));
        }
        presenter.openDialog(login2FADialog, values);
        return true;
    }
    const UiText text = failure.startsWith(QLatin1String("enterprise_error_"))
                            ? UiText::key(failure)
                            : UiText::plain(failure);
    presenter.alert(AlertStyle::critical, key("dialog_error"), text, {});
    return false;
}

} // namespace keskor
