#include "platform/ProcessAppLauncher.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace keskor {

namespace {

/// The Exec line of the [Desktop Entry] group; empty for a hidden entry or one without it.
QString execLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    bool inEntry = false;
    QString exec;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == QLatin1String("[Desktop Entry]");
        } else if (inEntry && (line == QLatin1String("Hidden=true") ||
                               line == QLatin1String("NoDisplay=true"))) {
            return {};
        } else if (inEntry && line.startsWith(QLatin1String("Exec="))) {
            exec = line.mid(5);
        }
    }
    return exec;
}

} // namespace

QString ProcessAppLauncher::findProgram(const QStringList& names) const {
    for (const QString& name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            return path;
        }
    }
    return {};
}

QStringList ProcessAppLauncher::desktopEntryCommand(const QStringList& ids) const {
    // The user's own entries first, then the system's, as the desktop itself looks them up.
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& id : ids) {
        for (const QString& folder : folders) {
            const QString path = QDir(folder).filePath(id);
            if (!QFile::exists(path)) {
                continue;
            }
            QStringList command = QProcess::splitCommand(execLine(path));
            // Field codes stand for what the launcher fills in; we pass the URL ourselves.
            command.removeIf(
                [](const QString& part) { return part.size() == 2 && part.front() == u'%'; });
            if (!command.isEmpty() && !QStandardPaths::findExecutable(command.front()).isEmpty()) {
                return command;
            }
        }
    }
    return {};
}

bool ProcessAppLauncher::launch(const QString& program, const QStringList& arguments) {
    if (program.isEmpty()) {
        return false;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // The started program must not inherit our standard input or die with us.
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace keskor
