#pragma once
// Everything one run of keskor-cli works with, built on first use so that commands that need
// no database (generate, estimate) start nothing else: the profile's paths, settings store and
// keychain, the texts, the presenter and the application object with its workflows.

#include "app/cli/CliPresenter.h"
#include "platform/Deployment.h"
#include "tools/PwnedPasswordsClient.h"

#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

namespace keskor {

class AppDelegate;
class AppPaths;
class RemoteStorageFactory;
class DefaultsStore;
class Keychain;
class Localizer;
class NotificationCenter;
class SettingManager;

class CliContext {
public:
    struct Streams {
        std::FILE* in = stdin;
        std::FILE* out = stdout;
        std::FILE* err = stderr;
    };

    /// `arguments` are the program's own (for --profile); `keyFile` answers key-file questions.
    CliContext(QStringList arguments, std::optional<QString> keyFile, Streams streams);
    ~CliContext();
    CliContext(const CliContext&) = delete;
    CliContext& operator=(const CliContext&) = delete;

    const AppPaths& paths();
    DefaultsStore& defaults();
    Keychain& keychain();
    Localizer& localizer();
    CliPresenter& presenter();
    AppDelegate& app();
    SettingManager& settings();
    /// Service hosts and client identifiers: the defaults, or the KESKOR_DEPLOYMENT file.
    /// Read once, on first use; a bad file throws CommonException.
    const Deployment& deployment();
    /// The breached-password service of the deployment; KESKOR_PWNED_URL and
    /// KESKOR_PWNED_API_KEY still override it.
    PwnedPasswordsClient::Config pwnedConfig();

    const std::optional<QString>& keyFile() const { return m_keyFile; }
    const Streams& streams() const { return m_streams; }

private:
    QStringList m_arguments;
    std::optional<QString> m_keyFile;
    Streams m_streams;
    std::unique_ptr<AppPaths> m_paths;
    std::optional<Deployment> m_deployment;
    std::unique_ptr<DefaultsStore> m_defaults;
    std::unique_ptr<Keychain> m_keychain;
    std::unique_ptr<NotificationCenter> m_notifications;
    std::unique_ptr<Localizer> m_localizer;
    std::unique_ptr<CliPresenter> m_presenter;
    // Before the application: the providers it makes keep the factory's HTTP client.
    std::unique_ptr<RemoteStorageFactory> m_remote;
    std::unique_ptr<AppDelegate> m_app;
};

} // namespace keskor
