#include "app/cli/CliContext.h"

#include "core/AppDelegate.h"
#include "core/Localizer.h"
#include "core/shared/PassFile.h"
#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "platform/QSettingsDefaultsStore.h"
#include "platform/SecretServiceKeychain.h"
#include "storage/RemoteStorageFactory.h"
#include "tools/PasswordHelper.h"

#include <QDesktopServices>
#include <QProcessEnvironment>
#include <QUrl>

namespace keskor {

CliContext::CliContext(QStringList arguments, std::optional<QString> keyFile, Streams streams)
    : m_arguments(std::move(arguments)), m_keyFile(std::move(keyFile)), m_streams(streams) {}

CliContext::~CliContext() {
#if !defined(__SANITIZE_ADDRESS__)
    // The open database is left to the end of the process rather than freed here: taking a
    // model of 100,000 entries apart block by block costs a quarter of an `ls -R`, and the
    // process ends right after. Freeing wipes nothing either way, and core dumps are off.
    if (m_app) {
        std::optional<PassFile>& open = m_app->mainManager().sessionManager.currentPassFile;
        if (open) {
            static_cast<void>(new PassFile(std::move(*open)));
            open.reset();
        }
    }
#endif
}

const AppPaths& CliContext::paths() {
    if (!m_paths) {
        m_paths = std::make_unique<AppPaths>(
            AppPaths::fromArguments(m_arguments, QProcessEnvironment::systemEnvironment()));
    }
    return *m_paths;
}

DefaultsStore& CliContext::defaults() {
    if (!m_defaults) {
        m_defaults = std::make_unique<QSettingsDefaultsStore>(paths().settingsFile());
    }
    return *m_defaults;
}

Keychain& CliContext::keychain() {
    if (!m_keychain) {
        m_keychain = std::make_unique<SecretServiceKeychain>(paths().keychainFallbackFile());
    }
    return *m_keychain;
}

Localizer& CliContext::localizer() {
    if (!m_localizer) {
        m_localizer =
            std::make_unique<Localizer>(defaults()
                                            .stringValue(QStringLiteral("setting_app_language_key"))
                                            .value_or(QStringLiteral("auto")));
    }
    return *m_localizer;
}

CliPresenter& CliContext::presenter() {
    if (!m_presenter) {
        m_presenter = std::make_unique<CliPresenter>(localizer().lookup(), m_keyFile, m_streams.in,
                                                     m_streams.err);
    }
    return *m_presenter;
}

AppDelegate& CliContext::app() {
    if (!m_app) {
        m_notifications = std::make_unique<NotificationCenter>();
        m_remote = std::make_unique<RemoteStorageFactory>(RemoteStorageFactory::Services{
            paths(), defaults(), keychain(), deployment(), localizer().lookup(),
            [this](const QUrl& url) {
                // A terminal may have no browser at hand: the address works from any device
                // that reaches this machine's loopback, so it is always printed.
                std::fprintf(m_streams.err, "Sign in at: %s\n",
                             url.toString(QUrl::FullyEncoded).toUtf8().constData());
                std::fflush(m_streams.err);
                if (qEnvironmentVariableIsSet("DISPLAY") ||
                    qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
                    QDesktopServices::openUrl(url);
                }
            }});
        // No bridge and no idle timer: a command runs once and ends.
        m_app = std::make_unique<AppDelegate>(AppDelegate::Services{
            paths(),
            defaults(),
            keychain(),
            *m_notifications,
            presenter(),
            localizer().lookup(),
            [](const QString& password) { return PasswordHelper::entropy(password); },
            false,
            [this](Location location, SessionManager& session) {
                return m_remote->create(location, session);
            },
            {},
            {}});
    }
    return *m_app;
}

SettingManager& CliContext::settings() {
    return app().mainManager().settingManager;
}

const Deployment& CliContext::deployment() {
    if (!m_deployment) {
        m_deployment = Deployment::fromEnvironment(QProcessEnvironment::systemEnvironment());
    }
    return *m_deployment;
}

PwnedPasswordsClient::Config CliContext::pwnedConfig() {
    PwnedPasswordsClient::Config config = PwnedPasswordsClient::configFor(deployment().pwned);
    const QString url = qEnvironmentVariable("KESKOR_PWNED_URL");
    if (!url.isEmpty()) {
        config.baseUrl = QUrl(url);
    }
    if (qEnvironmentVariableIsSet("KESKOR_PWNED_API_KEY")) {
        config.apiKey = qgetenv("KESKOR_PWNED_API_KEY");
    }
    return config;
}

} // namespace keskor
