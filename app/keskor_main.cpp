// keskor: the desktop program. It shows its main window; `keskor --headless` runs without one:
// it opens a database and serves the browser bridge until it is stopped with SIGINT or SIGTERM,
// which runs the normal quit sequence.

#include "bridge/WebSocketManager.h"
#include "core/AppDelegate.h"
#include "core/DatabaseInfoHelper.h"
#include "core/DemoDatabase.h"
#include "core/FileFunctions.h"
#include "core/Localizer.h"
#include "core/shared/CommonException.h"
#include "platform/AppPaths.h"
#include "platform/Deployment.h"
#include "platform/HugePageHeap.h"
#include "platform/NotificationCenter.h"
#include "platform/ProcessHardening.h"
#include "platform/QSettingsDefaultsStore.h"
#include "platform/SecretServiceKeychain.h"
#include "platform/TerminalPresenter.h"
#include "platform/UnixSignalWatcher.h"
#include "tools/PasswordHelper.h"
#ifdef KESKOR_WITH_GUI
#include "core/ScreenLockPolicy.h"
#include "core/UrlHandoffRouter.h"
#include "platform/DBusUserNotifier.h"
#include "platform/QtClipboard.h"
#include "platform/SessionLockWatcher.h"
#include "platform/SingleInstance.h"
#include "platform/SystemClock.h"
#include "storage/RemoteStorageFactory.h"
#include "ui/DesktopApplication.h"
#include "ui/DesktopAutoComplete.h"
#include "ui/DialogOpeners.h"
#include "ui/MainWindow.h"
#include "ui/QtPresenter.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QTimer>
#endif

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
        const DatabaseInfo info =
            DatabaseInfoHelper::localFile(args.value(QStringLiteral("database")));
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

#ifdef KESKOR_WITH_GUI
/// The demonstration database in the profile's documents, written once.
DatabaseInfo demoDatabase(const AppPaths& paths, KeyHelper& keys) {
    const DatabaseInfo info = DatabaseInfoHelper::localFile(
        QDir(paths.documents()).filePath(QStringLiteral("Demo.pswe")));
    if (!QFileInfo::exists(FileFunctions::databaseFile(paths, info))) {
        PassFile file = DemoDatabase::create();
        const Key256 key = keys.keyFromCredentials(file, Credentials(DemoDatabase::kPassword, {}));
        FileFunctions::writeDatabase(FileFunctions::databaseFile(paths, info), key, file);
    }
    return info;
}

int runDesktop(QApplication& app, const QCommandLineParser& args, const Deployment& deployment) {
    const AppPaths paths =
        AppPaths::fromArguments(app.arguments(), QProcessEnvironment::systemEnvironment());
    // A second start hands its arguments (a database, a sign-in redirect) to the first one.
    const QStringList handed =
        UrlHandoffRouter::absoluteArguments(args.positionalArguments(), QDir::currentPath());
    SingleInstance instance(SingleInstance::serverNameFor(paths.profileRoot()));
    if (instance.start(handed) == SingleInstance::Start::handedOff) {
        return 0;
    }
    QSettingsDefaultsStore defaults(paths.settingsFile());
    SecretServiceKeychain keychain(paths.keychainFallbackFile());
    QtClipboard clipboard;
    DBusUserNotifier notifier;
    SystemClock clock;
    Localizer localizer(defaults.stringValue(QStringLiteral("setting_app_language_key"))
                            .value_or(QStringLiteral("auto")));
    QtPresenter presenter(localizer);
    std::unique_ptr<MainWindow> window;
    DesktopApplication* services = nullptr;
    // Showing the window again goes through the unlock prompt while the database is locked.
    const auto showWindow = [&] {
        if (services && services->lock().unlock()) {
            presenter.bringToFront();
        }
    };
    TrayIcon tray(localizer.lookup(),
                  TrayIcon::Callbacks{showWindow, [&] { presenter.hideWindows(); },
                                      [&] { services->lock().lockFromStatusMenu(); },
                                      [&] { window->close(); },
                                      [&] { return window && window->isVisible(); },
                                      [&] { return window && window->isShowingDatabase(); },
                                      [&] {
                                          // Without a tray the prompt is the only way back; giving
                                          // up quits.
                                          if (!services->lock().unlock()) {
                                              app.quit();
                                          }
                                      }});
    // Sign-in pages open in the user's browser; the answer comes back to a loopback listener.
    RemoteStorageFactory remote(
        RemoteStorageFactory::Services{paths, defaults, keychain, deployment, localizer.lookup(),
                                       [](const QUrl& url) { QDesktopServices::openUrl(url); }});
    DesktopApplication desktop(DesktopApplication::Platform{
        paths, defaults, keychain, clipboard, notifier, tray, clock, presenter, localizer,
        PwnedPasswordsClient::configFor(deployment.pwned),
        [&](Location location, SessionManager& session) {
            return remote.create(location, session);
        },
        [&](SessionManager& session, SettingManager& settings) {
            return std::make_unique<WebSocketManager>(session, settings, presenter,
                                                      localizer.lookup());
        }});
    services = &desktop;
    window = std::make_unique<MainWindow>(desktop.context());
    presenter.setWindow({[&] { return window.get(); }, [&] { window->showDatabaseView(); },
                         [&] { window->showStartView(); }});
    desktop.setSelectedFolder([&] { return window->selectedFolder(); });
    desktop.setDialogParent([&] { return window.get(); });
    DialogOpeners::registerAll(presenter, desktop.context(), *window);
    DesktopAutoComplete autoComplete(desktop.context(), *window, clipboard);
    AppDelegate& delegate = desktop.app();
    MainManager& main = delegate.mainManager();
    window->shouldClose = [&] { return delegate.applicationShouldTerminate(); };
    ScreenLockPolicy screenLock(main.settingManager, main.sessionManager, desktop.lock());
    SessionLockWatcher lockWatcher([&] { screenLock.sessionLocking(); });
    UrlHandoffRouter router(main.remoteStorageManager, delegate.databases(), showWindow);
    QObject::connect(&instance, &SingleInstance::argumentsReceived, &app,
                     [&](const QStringList& arguments) { router.route(arguments); });
    delegate.applicationDidFinishLaunching();
    window->show();

    if (args.isSet(QStringLiteral("demo"))) {
        const DatabaseInfo info =
            demoDatabase(paths, delegate.mainManager().sessionManager.keyHelper);
        delegate.databases().openWithCredentials(info, Credentials(DemoDatabase::kPassword, {}));
        desktop.lock().startMonitoring();
    } else if (args.isSet(QStringLiteral("database"))) {
        delegate.databases().openDatabase(
            DatabaseInfoHelper::localFile(args.value(QStringLiteral("database"))));
        desktop.lock().startMonitoring();
    } else {
        delegate.mainWindowDidLoad();
        if (!handed.isEmpty()) {
            router.route(handed);
        }
    }
    if (args.isSet(QStringLiteral("screenshot"))) {
        // Without a display: draw the window once, keep the picture and end.
        const QString target = args.value(QStringLiteral("screenshot"));
        QTimer::singleShot(300, &app, [&, target] {
            const bool saved = window->grab().save(target);
            std::fprintf(stderr, "%s %s\n",
                         saved ? "keskor: window drawn to" : "keskor: could not write",
                         qPrintable(target));
            app.exit(saved ? 0 : 1);
        });
    }
    UnixSignalWatcher stopWatcher;
    QObject::connect(&stopWatcher, &UnixSignalWatcher::stopRequested, &app, [&](int) {
        if (delegate.applicationShouldTerminate()) {
            app.quit();
        }
    });
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, [&] {
        if (!delegate.mainManager().sessionManager.isLocked) {
            app.quit();
        }
    });
    const int status = app.exec();
    delegate.applicationWillTerminate();
    return status;
}

/// Whether this run needs no window (and so no display).
bool wantsHeadless(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--headless" || arg == "--help" || arg == "-h" || arg == "--version" ||
            arg == "-v") {
            return true;
        }
    }
    return false;
}
#endif

} // namespace

int main(int argc, char** argv) {
    keskor::HugePageHeap::enable(argv);
    keskor::ProcessHardening::disableCoreDumps();
#ifdef KESKOR_WITH_GUI
    std::unique_ptr<QCoreApplication> application;
    if (wantsHeadless(argc, argv)) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        application = std::make_unique<QApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
#else
    QCoreApplication app(argc, argv);
#endif
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
    args.addPositionalArgument(
        QStringLiteral("target"),
        QStringLiteral("A database to open, or a sign-in redirect URL; handed to the running "
                       "window when there is one."),
        QStringLiteral("[DB|URL...]"));
    args.addOption({QStringLiteral("demo"),
                    QStringLiteral("Open the demonstration database (made on first use).")});
    args.addOption({QStringLiteral("screenshot"),
                    QStringLiteral("Draw the window into FILE (PNG) and end."),
                    QStringLiteral("FILE")});
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
    try {
        // Hosts and client identifiers of this installation, read once for the whole run.
        const Deployment deployment =
            Deployment::fromEnvironment(QProcessEnvironment::systemEnvironment());
        if (!args.isSet(QStringLiteral("headless"))) {
#ifdef KESKOR_WITH_GUI
            return runDesktop(static_cast<QApplication&>(app), args, deployment);
#else
            std::fprintf(stderr, "keskor: built without the window; run keskor --headless\n");
            return 2;
#endif
        }
        return runHeadless(app, args);
    } catch (const CommonException& e) {
        std::fprintf(stderr, "keskor: %s\n", qPrintable(e.message()));
        return 1;
    }
}
