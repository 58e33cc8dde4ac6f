#include "platform/AppPaths.h"

#include "core/shared/CommonException.h"
#include "core/shared/PrivateFiles.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace keskor {

namespace {

const QString kApplication = QStringLiteral("keskor");

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

AppPaths::AppPaths(const QString& root)
    : AppPaths(absoluteClean(root), absoluteClean(root) + QStringLiteral("/settings.ini"),
               absoluteClean(root) + QStringLiteral("/documents"),
               absoluteClean(root) + QStringLiteral("/logs"),
               absoluteClean(root) + QStringLiteral("/keychain.json"), true) {}

AppPaths::AppPaths(QString root, QString settingsFile, QString documents, QString logs,
                   QString keychainFile, bool isProfile)
    : m_root(std::move(root)), m_settingsFile(std::move(settingsFile)),
      m_documents(std::move(documents)), m_logs(std::move(logs)),
      m_keychainFile(std::move(keychainFile)), m_isProfile(isProfile) {}

AppPaths AppPaths::fromArguments(const QStringList& args, const QProcessEnvironment& env) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == u"--profile") {
            if (i + 1 >= args.size() || args.at(i + 1).isEmpty()) {
                throw CommonException(QStringLiteral("--profile needs a folder"));
            }
            return AppPaths(args.at(i + 1));
        }
        if (arg.startsWith(u"--profile=")) {
            const QString dir = arg.mid(10);
            if (dir.isEmpty()) {
                throw CommonException(QStringLiteral("--profile needs a folder"));
            }
            return AppPaths(dir);
        }
    }
    const QString home = env.value(QStringLiteral("KESKOR_HOME"));
    if (!home.isEmpty()) {
        return AppPaths(home);
    }
    // The generic locations plus our own name, rather than AppDataLocation, so the result does
    // not depend on the organisation name someone may set on the application object.
    const QString data =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' + kApplication;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           u'/' + kApplication;
    return AppPaths(data, config + QStringLiteral("/settings.ini"), data,
                    data + QStringLiteral("/logs"), data + QStringLiteral("/keychain.json"), false);
}

QString AppPaths::documents() const {
    return ensured(m_documents);
}

QString AppPaths::logs() const {
    return ensured(m_logs);
}

QString AppPaths::ensured(const QString& folder) {
    if (!PrivateFiles::makeFolder(folder)) {
        qWarning().noquote() << "paths: cannot create the folder" << folder;
    }
    return folder;
}

} // namespace keskor
