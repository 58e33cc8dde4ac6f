#include "app/cli/EnterpriseCommands.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "core/AppDelegate.h"
#include "core/Localizer.h"
#include "core/shared/CommonException.h"
#include "enterprise/EnterpriseStorage.h"
#include "platform/DefaultsStore.h"

#include <QEventLoop>
#include <functional>

namespace keskor {

namespace {

using Start = std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>;

EnterpriseStorage& storage(CliRun& run) {
    auto* s = dynamic_cast<EnterpriseStorage*>(
        run.context().app().mainManager().remoteStorageManager.storage(Location::enterprise));
    if (!s) {
        throw CommonException(QStringLiteral("The enterprise server is not available."));
    }
    return *s;
}

/// Runs the event loop until the operation reports; its failure text, none on success.
std::optional<QString> wait(const Start& start) {
    QEventLoop loop;
    bool done = false;
    std::optional<QString> failure;
    start(
        [&] {
            done = true;
            loop.quit();
        },
        [&](const QString& message) {
            failure = message;
            done = true;
            loop.quit();
        });
    if (!done) {
        loop.exec();
    }
    return failure;
}

QString shown(CliRun& run, const QString& message) {
    if (message.startsWith(QLatin1String("enterprise_error_"))) {
        return run.context().localizer().text(message);
    }
    return message.isEmpty() ? QStringLiteral("The server refused the request.") : message;
}

std::optional<QString> askCode(CliRun& run, const QString& informative) {
    return run.context().presenter().alertWithTextField(
        AlertStyle::informational, UiText::plain(QStringLiteral("Two-factor code")),
        UiText::plain(informative), {UiText::key(QStringLiteral("dialog_ok"))});
}

/// The log-in with the server's demands answered on the terminal: a new password, the
/// activation of two-factor codes, a code for this log-in.
void signIn(CliRun& run, ServerCredentials credentials, bool trustDevice = false) {
    EnterpriseStorage& s = storage(run);
    if (credentials.host.isEmpty() || credentials.userName.isEmpty()) {
        throw CommonException(
            QStringLiteral("No server is remembered: run \"keskor-cli enterprise login\" first."));
    }
    if (!credentials.password) {
        credentials.password = run.readSecret(
            QStringLiteral("Password of %1 on %2").arg(credentials.userName, credentials.host),
            false);
    }
    std::optional<QString> failure = wait([&](auto ok, auto fail) {
        s.login(credentials, false, s.twoFactorData(std::nullopt, false), ok, fail);
    });
    const QString sep = QString::fromLatin1(EnterpriseStorage::separator);
    // Each demand is answered once; a second one of the same kind is the server's last word.
    for (int round = 0; failure && round < 3; ++round) {
        const QStringList parts = failure->split(sep);
        if (*failure == QLatin1String(EnterpriseStorage::passwordResetRequired)) {
            run.err(QStringLiteral("The server asks for a new password."));
            const QString newPassword = run.readSecret(QStringLiteral("New password"), true);
            const QString old = credentials.password.value_or(QString());
            failure =
                wait([&](auto ok, auto fail) { s.changePassword(old, newPassword, ok, fail); });
            credentials.password = newPassword;
        } else if (parts.value(0) == QLatin1String(EnterpriseStorage::activate2FAPrefix)) {
            const std::optional<QString> code = askCode(
                run, QStringLiteral("Add this secret to your authenticator app, then type its "
                                    "first code: %1")
                         .arg(parts.value(1)));
            if (!code || code->isEmpty()) {
                throw CommonException(QStringLiteral("No code was given."));
            }
            failure = wait([&](auto ok, auto fail) { s.activate2FA(*code, ok, fail); });
        } else if (parts.value(0) == QLatin1String(EnterpriseStorage::login2FAPrefix)) {
            const std::optional<QString> code = askCode(run, parts.value(2));
            if (!code || code->isEmpty()) {
                throw CommonException(QStringLiteral("No code was given."));
            }
            const bool trust = trustDevice && parts.value(1) == QLatin1String("true");
            failure = wait([&](auto ok, auto fail) { s.confirm2FA(*code, trust, ok, fail); });
        } else {
            break;
        }
    }
    if (failure) {
        throw CommonException(shown(run, *failure));
    }
}

IRemoteStorage::FileList list(CliRun& run) {
    EnterpriseStorage& s = storage(run);
    IRemoteStorage::FileList files;
    if (auto failure = wait([&](auto ok, auto fail) {
            s.listFiles(
                [&files, ok](IRemoteStorage::FileList listed) {
                    files = std::move(listed);
                    ok();
                },
                fail, false);
        })) {
        throw CommonException(shown(run, *failure));
    }
    return files;
}

void printTree(CliRun& run, const Info2Item& folder, const QString& prefix) {
    for (const auto& child : folder.subItems()) {
        const QString path = prefix + child->description();
        run.out(child->isFolder ? path + QLatin1Char('/') : path);
        printTree(run, *child, path + QLatin1Char('/'));
    }
}

int login(CliRun& run) {
    ServerCredentials c;
    c.host = run.argument(0);
    c.userName = run.argument(1);
    c.useSSL = run.isSet(QStringLiteral("ssl"));
    const int version = run.intValue(QStringLiteral("protocol"), 0, 3, 2);
    c.protocolVersion = ProtocolVersions::allCases[static_cast<std::size_t>(version)];
    c.port = run.intValue(QStringLiteral("port"), 1, 65535, IProtocol::DEFAULT_PORT);
    if (run.isSet(QStringLiteral("forget-certificate"))) {
        storage(run).forgetPinnedCertificate(c.endpoint());
    }
    signIn(run, c, run.isSet(QStringLiteral("trust-device")));
    run.out(QStringLiteral("Logged in to %1 as %2.").arg(c.endpoint(), c.userName));
    return 0;
}

int ls(CliRun& run) {
    signIn(run, storage(run).storedCredentials(), run.isSet(QStringLiteral("trust-device")));
    for (const auto& file : list(run)) {
        run.out(file->path);
    }
    return 0;
}

int open(CliRun& run) {
    PassFile& file = EnterpriseCommands::openServerDatabase(
        run, QString::fromLatin1(EnterpriseCommands::sourcePrefix) + run.argument(0));
    printTree(run, file.root(), QString());
    return 0;
}

int logout(CliRun& run) {
    EnterpriseStorage& s = storage(run);
    s.logout();
    DefaultsStore& defaults = run.context().defaults();
    defaults.remove(QString::fromLatin1(EnterpriseStorage::keyForUserName));
    defaults.remove(QString::fromLatin1(EnterpriseStorage::keyForUserId));
    defaults.sync();
    run.out(QStringLiteral("Logged out."));
    return 0;
}

} // namespace

bool EnterpriseCommands::isServerDatabase(const QString& argument) {
    return argument.startsWith(QLatin1String(sourcePrefix));
}

PassFile& EnterpriseCommands::openServerDatabase(CliRun& run, const QString& argument) {
    const QString name = argument.mid(qstrlen(sourcePrefix));
    if (name.isEmpty()) {
        throw CliUsageError(QStringLiteral("Name the server's database: enterprise:NAME."));
    }
    EnterpriseStorage& s = storage(run);
    signIn(run, s.storedCredentials());
    std::shared_ptr<RemoteFileInfo> chosen;
    for (const auto& file : list(run)) {
        if (file->name == name || file->path == name) {
            chosen = file;
        }
    }
    if (!chosen) {
        throw CommonException(QStringLiteral("The server offers no database %1.").arg(name));
    }
    if (auto failure = wait([&](auto ok, auto fail) { s.downloadFile(chosen, ok, fail); })) {
        throw CommonException(shown(run, *failure));
    }
    std::optional<IEntrySyncStorage::OpenedDatabase> opened = s.takeDownloadedDatabase();
    if (!opened) {
        throw CommonException(QStringLiteral("%1 was not opened.").arg(name));
    }
    run.context().app().databases().openDownloaded(
        DatabaseInfo{chosen->name, QString(), Location::enterprise, false}, std::move(*opened),
        chosen);
    return run.database();
}

void EnterpriseCommands::finishSave(CliRun& run) {
    SessionManager& session = run.context().app().mainManager().sessionManager;
    QEventLoop loop;
    while (session.uploadingStatus) {
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (session.currentPassFile && storage(run).unsentChanges(*session.currentPassFile) > 0) {
        throw CommonException(QStringLiteral("Not every change reached the server."));
    }
}

QList<CliCommand> EnterpriseCommands::commands() {
    const QCommandLineOption trust = flagOption(
        QStringLiteral("trust-device"),
        QStringLiteral("Let the server trust this device, so it asks for no code next time."));
    return {
        {QStringLiteral("enterprise"),
         QStringLiteral("login HOST USER | ls | open NAME | logout"),
         QStringLiteral("Work with the databases of an enterprise server."),
         QStringLiteral(
             "login signs in and remembers the server and the user; ls and open sign in again\n"
             "(the password is asked each time, or read from standard input) and list the\n"
             "server's databases or the entries of one. logout forgets the user.\n"
             "\n"
             "The entry commands take a server database as DB written enterprise:NAME; each\n"
             "change is sent to the server entry by entry, e.g.\n"
             "keskor-cli add enterprise:Team.pswe \"Web/Router\" -u admin --generate.\n"
             "Two-factor codes and a new password, when the server asks for them, are asked\n"
             "on the terminal."),
         {valueOption({QStringLiteral("port")}, QStringLiteral("The server's port (25016)."),
                      QStringLiteral("N")),
          flagOption(QStringLiteral("ssl"), QStringLiteral("Connect over TLS.")),
          valueOption({QStringLiteral("protocol")},
                      QStringLiteral("The protocol version, 0 to 3 (2)."), QStringLiteral("N")),
          trust,
          flagOption(QStringLiteral("forget-certificate"),
                     QStringLiteral("Trust the server's new certificate (login), after checking "
                                    "it with the administrator."))},
         1,
         3,
         false,
         [](CliRun& run) {
             const QString verb = run.argument(0);
             CliRun sub = run.shifted();
             if (verb == QLatin1String("login") && sub.arguments().size() == 2) {
                 return login(sub);
             }
             if (verb == QLatin1String("ls") && sub.arguments().isEmpty()) {
                 return ls(sub);
             }
             if (verb == QLatin1String("open") && sub.arguments().size() == 1) {
                 return open(sub);
             }
             if (verb == QLatin1String("logout") && sub.arguments().isEmpty()) {
                 return logout(sub);
             }
             throw CliUsageError(QStringLiteral("Use enterprise login HOST USER, ls, open NAME "
                                                "or logout."));
         }},
    };
}

} // namespace keskor
