// keskor: the desktop program. Until the window is built in, it runs without one
// (`keskor --headless`): it opens a database and serves the browser bridge until it is stopped
// with SIGINT or SIGTERM, which runs the normal quit sequence.

#include "bridge/WebSocketManager.h"
#include "core/AppDelegate.h"
#include "core/Localizer.h"
#include "core/shared/CommonException.h"
#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "platform/QSettingsDefaultsStore.h"
#include "platform/SecretServiceKeychain.h"
#include "platform/TerminalPresenter.h"
#include "platform/UnixSignalWatcher.h"
#include "tools/PasswordHelper.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

using namespace keskor;

namespace {

int runHeadless(QCoreApplication& app, const QCommandLineParser& args) {
    const AppPaths paths =
        AppPaths::fromArguments(app.arguments(), QProcessEnvironment::systemEnvironment());
    QSettingsDefaultsStore defaults(paths.settingsFile());
    SecretServiceKeychain keychain(paths.keychainFallbackFile());
    NotificationCenter notifications;
    Localizer localizer(defaults.stringValue(QStringLiteral("setting_app_language_key"))
                            .value_or(QStringLiteral("auto")));
    std::optional<QString> keyFile;
    if (args.isSet(QStringLiteral("key-file"))) {
        keyFile = args.value(QStringLiteral("key-file"));
    }
    TerminalPresenter presenter(localizer.lookup(), keyFile);

    AppDelegate delegate(AppDelegate::Services{
        paths,
        defaults,
        keychain,
        notifications,
        presenter,
        localizer.lookup(),
        [](const QString& password) { return PasswordHelper::entropy(password); },
        false,
        {},
        [&](SessionManager& session, SettingManager& settings) {
            return std::make_unique<WebSocketManager>(session, settings, presenter,
                                                      localizer.lookup());
        },
        {}});
    delegate.applicationDidFinishLaunching();

    if (args.isSet(QStringLiteral("database"))) {
        const QFileInfo file(args.value(QStringLiteral("database")));
        const DatabaseInfo info{file.fileName(), file.absolutePath(), Location::localDevice, false};
        if (!delegate.databases().openDatabase(info)) {
            delegate.applicationWillTerminate();
            return 1;
        }
    } else {
        delegate.mainWindowDidLoad();
    }
    const MainManager& main = delegate.mainManager();
    std::fprintf(stderr, "%s: %s; browser bridge on port %d. Stop with Ctrl+C.\n",
                 qPrintable(localizer.text(QStringLiteral("app_name"))),
                 main.sessionManager.isDatabaseOpen()
                     ? qPrintable(main.sessionManager.currentDBInfo->name)
                     : "no database open",
                 main.websocketManager->port());

    UnixSignalWatcher stopWatcher;
    QObject::connect(&stopWatcher, &UnixSignalWatcher::stopRequested, &app, [&](int) {
        if (delegate.applicationShouldTerminate()) {
            delegate.applicationWillTerminate();
            app.quit();
        }
    });
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("keskor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESKOR_VERSION));
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral(
        "Keskor password manager.\n\n"
        "--headless runs without a window: it opens the database given with --database (or the\n"
        "last one, when the settings ask for it) and serves the browser bridge on the port\n"
        "setting until SIGINT or SIGTERM, which runs the normal quit sequence. The master\n"
        "password is asked on the terminal without echo, or read as one line from standard\n"
        "input when that is not a terminal."));
    args.addHelpOption();
    args.addVersionOption();
    args.addOption({QStringLiteral("headless"), QStringLiteral("Run without a window.")});
    args.addOption({QStringLiteral("profile"),
                    QStringLiteral("Keep every file of this run under DIR (also KESKOR_HOME)."),
                    QStringLiteral("DIR")});
    args.addOption({QStringLiteral("database"), QStringLiteral("Open the database DB."),
                    QStringLiteral("DB")});
    args.addOption({QStringLiteral("key-file"), QStringLiteral("The key file of the database."),
                    QStringLiteral("F")});
    if (!args.parse(app.arguments())) {
        std::fprintf(stderr, "keskor: %s\n", qPrintable(args.errorText()));
        return 2;
    }
    if (args.isSet(QStringLiteral("help"))) {
        args.showHelp(0);
    }
    if (args.isSet(QStringLiteral("version"))) {
        args.showVersion();
    }
    if (!args.isSet(QStringLiteral("headless"))) {
        std::fprintf(stderr,
                     "keskor: this build has no desktop window yet; run keskor --headless\n");
        return 2;
    }
    try {
        return runHeadless(app, args);
    } catch (const CommonException& e) {
        std::fprintf(stderr, "keskor: %s\n", qPrintable(e.message()));
        return 1;
    }
}
