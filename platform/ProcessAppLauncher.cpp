#include "platform/ProcessAppLauncher.h"

#include <QProcess>
#include <QStandardPaths>

namespace keskor {

QString ProcessAppLauncher::findProgram(const QStringList& names) const {
    for (const QString& name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            return path;
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
