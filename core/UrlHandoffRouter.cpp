#include "core/UrlHandoffRouter.h"

#include "core/DatabaseController.h"
#include "core/DatabaseInfo.h"
#include "core/FilesHelper.h"
#include "core/RemoteStorageManager.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace keskor {

namespace {

// A URL starts with its scheme; a path never does (an absolute one starts with '/', and a
// relative one with a colon in its first part is not worth the confusion).
bool isUrl(const QString& argument) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    return scheme.match(argument).hasMatch();
}

bool isFileUrl(const QString& argument) {
    return argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

QString localPath(const QString& argument) {
    return isFileUrl(argument) ? QUrl(argument).toLocalFile() : argument;
}

Location storageOf(UrlHandoffRouter::Target target) {
    switch (target) {
    case UrlHandoffRouter::Target::googleDrive:
        return Location::gDrive;
    case UrlHandoffRouter::Target::box:
        return Location::box;
    default:
        return Location::dropbox;
    }
}

} // namespace

UrlHandoffRouter::UrlHandoffRouter(RemoteStorageManager& remote, DatabaseController& databases,
                                   std::function<void()> bringToFront)
    : m_remote(remote), m_databases(databases), m_bringToFront(std::move(bringToFront)) {}

UrlHandoffRouter::Target UrlHandoffRouter::targetOf(const QString& argument) {
    if (isUrl(argument) && !isFileUrl(argument)) {
        if (argument.contains(QLatin1String("com.googleusercontent.apps"))) {
            return Target::googleDrive;
        }
        if (argument.contains(QLatin1String("boxsdk"))) {
            return Target::box;
        }
        return Target::dropbox;
    }
    const QString path = localPath(argument);
    if (!path.isEmpty() && FilesHelper::isSupported(QFileInfo(path).fileName())) {
        return Target::localDatabase;
    }
    return Target::front;
}

void UrlHandoffRouter::route(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        m_bringToFront();
        return;
    }
    for (const QString& argument : arguments) {
        route(argument);
    }
}

void UrlHandoffRouter::route(const QString& argument) {
    const Target target = targetOf(argument);
    switch (target) {
    case Target::googleDrive:
    case Target::box:
    case Target::dropbox:
        if (IRemoteStorage* storage = m_remote.storage(storageOf(target))) {
            storage->handleRedirect(QUrl(argument));
        } else {
            qWarning().noquote() << "handed URL: this build has no store for"
                                 << Locations::scheme(storageOf(target));
        }
        return;
    case Target::localDatabase: {
        const QFileInfo file(localPath(argument));
        // A successful open also ends a lock, so the window then shows without a prompt.
        if (m_databases.openDatabase(
                DatabaseInfo{file.fileName(), file.absolutePath(), Location::localDevice, false})) {
            m_bringToFront();
        }
        return;
    }
    case Target::front:
        m_bringToFront();
        return;
    }
}

QStringList UrlHandoffRouter::absoluteArguments(const QStringList& arguments,
                                                const QString& workingDirectory) {
    QStringList out;
    out.reserve(arguments.size());
    for (const QString& argument : arguments) {
        out << (isUrl(argument) || argument.isEmpty()
                    ? argument
                    : QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(argument)));
    }
    return out;
}

} // namespace keskor
