#include "app/cli/CloudCommands.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "core/AppDelegate.h"
#include "core/FileFunctions.h"
#include "core/IAuthorizationCodeExchange.h"
#include "core/IRemoteStorage.h"
#include "core/Localizer.h"
#include "core/Location.h"
#include "core/RemoteFileInfo.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/PassFile.h"
#include "core/shared/PassFileCodec.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <array>
#include <optional>
#include <utility>

namespace keskor {

namespace {

constexpr std::array<std::pair<const char*, Location>, 5> kProviders{{
    {"onedrive", Location::oneDrive},
    {"gdrive", Location::gDrive},
    {"dropbox", Location::dropbox},
    {"box", Location::box},
    {"hidrive", Location::hiDrive},
}};

QStringList providerList() {
    QStringList names;
    for (const auto& [name, location] : kProviders) {
        names << QString::fromLatin1(name);
    }
    return names;
}

QString providerNames() {
    return providerList().join(QStringLiteral(", "));
}

Location providerLocation(const QString& name) {
    for (const auto& [known, location] : kProviders) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) {
            return location;
        }
    }
    throw CliUsageError(
        QStringLiteral("unknown cloud drive \"%1\" (one of %2)").arg(name, providerNames()));
}

IRemoteStorage& storageOf(CliRun& run, Location location) {
    IRemoteStorage* storage =
        run.context().app().mainManager().remoteStorageManager.storage(location);
    if (!storage) {
        throw CommonException(
            run.context().localizer().text(QStringLiteral("cloud_not_available")));
    }
    return *storage;
}

/// Runs one provider operation to its single callback; throws with the provider's message.
void await(CliRun& run,
           const std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>& op) {
    QEventLoop loop;
    bool done = false;
    std::optional<QString> failure;
    op(
        [&] {
            done = true;
            loop.quit();
        },
        [&](const QString& message) {
            done = true;
            failure = message;
            loop.quit();
        });
    if (!done) {
        loop.exec();
    }
    if (failure) {
        throw CommonException(failure->isEmpty()
                                  ? run.context().localizer().text(QStringLiteral("failed"))
                                  : *failure);
    }
}

/// Runs `op` on a signed-in drive: signs in first when there is no account yet (the browser
/// opens, or its address is printed, and the command goes on once the user is sent back), and
/// once more when the drive refused the kept sign-in (a refresh token that expired or was
/// revoked), so the user is not left to work out that `login` is needed.
/// Signs in. Most drives send the browser back to a listener of ours; HiDrive shows a code
/// to copy, and Box sends the browser to an address of its own scheme, which only the desktop
/// program receives: from a terminal the user pastes that one.
void signIn(CliRun& run, Location location, IRemoteStorage& storage) {
    if (auto* exchange = dynamic_cast<IAuthorizationCodeExchange*>(&storage)) {
        storage.login([] {}, [](const QString&) {});
        const QString code = run.readSecret(QStringLiteral("Code shown after signing in"), false);
        await(run,
              [&](auto success, auto failure) { exchange->exchangeCode(code, success, failure); });
        return;
    }
    if (location == Location::box) {
        await(run, [&](auto success, auto failure) {
            storage.login(success, failure);
            if (!storage.isLoggedIn()) {
                storage.handleRedirect(QUrl(run.readSecret(
                    QStringLiteral("Address the browser was sent to after signing in"), false)));
            }
        });
        return;
    }
    await(run, [&](auto success, auto failure) { storage.login(success, failure); });
}

/// Runs `op` on a signed-in drive: signs in first when there is no account yet, and once more
/// when the drive refused the kept sign-in (a refresh token that expired or was revoked), so
/// the user is not left to work out that `login` is needed.
void withSignIn(CliRun& run, Location location, IRemoteStorage& storage,
                const std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>& op) {
    if (!storage.isLoggedIn()) {
        signIn(run, location, storage);
        await(run, op);
        return;
    }
    try {
        await(run, op);
    } catch (const CommonException&) {
        if (storage.isLoggedIn()) {
            throw;
        }
        signIn(run, location, storage);
        await(run, op);
    }
}

IRemoteStorage::FileList listOf(CliRun& run, Location location, IRemoteStorage& storage) {
    IRemoteStorage::FileList files;
    withSignIn(run, location, storage, [&](auto success, auto failure) {
        storage.listFiles(
            [&files, success](IRemoteStorage::FileList listed) {
                files = std::move(listed);
                success();
            },
            failure);
    });
    return files;
}

std::shared_ptr<RemoteFileInfo> findFile(const IRemoteStorage::FileList& files,
                                         const QString& name) {
    for (const std::shared_ptr<RemoteFileInfo>& file : files) {
        if (file->name == name) {
            return file;
        }
    }
    return nullptr;
}

QString workingCopy(CliRun& run, Location location, const QString& name) {
    return QDir(FileFunctions::workingFolder(run.context().paths(), location, {}, true))
        .filePath(name);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw CommonException(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
    return file.readAll();
}

void writePrivate(const QString& path, const QByteArray& bytes) {
    QString error;
    if (!AtomicFile::write(path, bytes, &error, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        throw CommonException(QStringLiteral("%1: %2").arg(path, error));
    }
}

int login(CliRun& run, Location location) {
    signIn(run, location, storageOf(run, location));
    run.err(QStringLiteral("Signed in."));
    return 0;
}

int logout(CliRun& run, Location location) {
    storageOf(run, location).logout();
    run.err(QStringLiteral("Signed out; the stored sign-in is removed."));
    return 0;
}

int list(CliRun& run, Location location) {
    const IRemoteStorage::FileList files = listOf(run, location, storageOf(run, location));
    if (run.isSet(QStringLiteral("json"))) {
        QJsonArray array;
        for (const std::shared_ptr<RemoteFileInfo>& file : files) {
            QJsonObject object{{QStringLiteral("name"), file->name},
                               {QStringLiteral("path"), file->path},
                               {QStringLiteral("size"), file->size}};
            if (file->modified) {
                object.insert(QStringLiteral("modified"), file->modified->toString(Qt::ISODate));
            }
            array.append(object);
        }
        run.outJson(array);
        return 0;
    }
    for (const std::shared_ptr<RemoteFileInfo>& file : files) {
        run.out(file->name);
    }
    return 0;
}

int pull(CliRun& run, Location location) {
    const QString name = run.argument(2);
    if (name.isEmpty()) {
        throw CliUsageError(QStringLiteral("pull needs the name of a database on the drive"));
    }
    const QString target = run.argument(3).isEmpty() ? name : run.argument(3);
    // Fetching over a local file would lose its changes that were never pushed.
    if (QFileInfo::exists(target) && !run.isSet(QStringLiteral("force"))) {
        throw CommonException(QStringLiteral("%1 exists; give --force to replace it").arg(target));
    }
    IRemoteStorage& storage = storageOf(run, location);
    const std::shared_ptr<RemoteFileInfo> file = findFile(listOf(run, location, storage), name);
    if (!file) {
        throw CommonException(QStringLiteral("no database \"%1\" on the drive").arg(name));
    }
    withSignIn(run, location, storage,
               [&](auto success, auto failure) { storage.downloadFile(file, success, failure); });
    writePrivate(target, readFile(workingCopy(run, location, file->name)));
    run.err(QStringLiteral("Fetched %1 to %2.").arg(file->name, target));
    return 0;
}

int push(CliRun& run, Location location) {
    const QString source = run.argument(2);
    if (source.isEmpty()) {
        throw CliUsageError(QStringLiteral("push needs a database file"));
    }
    const QByteArray bytes = readFile(source);
    // Only a database goes up: a typo must not replace the drive's copy with another file.
    try {
        PassFile header;
        PassFileCodec::decode(bytes, nullptr, true, header);
    } catch (const CommonException&) {
        throw CommonException(
            QStringLiteral("%1: %2").arg(source, PassFileCodec::notADatabaseMessage()));
    }
    const QString name = run.isSet(QStringLiteral("name")) ? run.value(QStringLiteral("name"))
                                                           : QFileInfo(source).fileName();
    if (name.isEmpty() || name.contains(u'/')) {
        throw CliUsageError(QStringLiteral("--name must be a file name without a folder"));
    }
    IRemoteStorage& storage = storageOf(run, location);
    // A database already on the drive is replaced in place rather than uploaded twice.
    std::shared_ptr<RemoteFileInfo> file = findFile(listOf(run, location, storage), name);
    if (!file) {
        file = std::make_shared<RemoteFileInfo>(name);
    }
    writePrivate(workingCopy(run, location, name), bytes);
    SessionManager& session = run.context().app().mainManager().sessionManager;
    session.remoteFileInfo = file;
    withSignIn(run, location, storage,
               [&](auto success, auto failure) { storage.saveCurrentFile(success, failure); });
    session.remoteFileInfo.reset();
    run.err(QStringLiteral("Uploaded %1 as %2.").arg(source, name));
    return 0;
}

int cloud(CliRun& run) {
    const QString verb = run.argument(0);
    const Location location = providerLocation(run.argument(1));
    if (verb == QLatin1String("login")) {
        return login(run, location);
    }
    if (verb == QLatin1String("logout")) {
        return logout(run, location);
    }
    if (verb == QLatin1String("ls")) {
        return list(run, location);
    }
    if (verb == QLatin1String("pull")) {
        return pull(run, location);
    }
    if (verb == QLatin1String("push")) {
        return push(run, location);
    }
    throw CliUsageError(
        QStringLiteral("unknown cloud action \"%1\" (login, ls, pull, push, logout)").arg(verb));
}

} // namespace

QList<CliCommand> CloudCommands::commands() {
    CliCommand command{
        QStringLiteral("cloud"),
        QStringLiteral("login|ls|logout PROVIDER | pull PROVIDER NAME [FILE] | push PROVIDER FILE"),
        QStringLiteral("Sign in to a cloud drive and fetch or upload databases."),
        QStringLiteral("PROVIDER is one of %1.\n"
                       "login opens the provider's sign-in page in the browser and prints its\n"
                       "address; the sign-in is kept in the keychain until logout. ls, pull and\n"
                       "push sign in first when needed.\n"
                       "pull NAME [FILE] fetches the database NAME into FILE (default: NAME in\n"
                       "the current folder) and does not replace an existing file without\n"
                       "--force. push FILE uploads a database, replacing the drive's copy of the\n"
                       "same name (--name gives another one).")
            .arg(providerNames()),
        {flagOption(QStringLiteral("json"), QStringLiteral("ls: print JSON instead of names.")),
         flagOption(QStringLiteral("force"), QStringLiteral("pull: replace an existing FILE.")),
         valueOption({QStringLiteral("name")},
                     QStringLiteral("push: the name of the database on the drive."),
                     QStringLiteral("NAME"))},
        2,
        4,
        false,
        cloud};
    command.argumentWords.insert(QStringLiteral("PROVIDER"), providerList());
    return {command};
}

} // namespace keskor
