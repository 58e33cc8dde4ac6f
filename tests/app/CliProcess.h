#pragma once
// Runs the built keskor-cli as a user would, in a profile of its own: arguments, what goes to
// standard input, and the exit status and both outputs that come back.

#include "tests/support/QtPrinters.h"
#include "tests/support/TempDir.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace keskor::test {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
    bool crashed = false;
};

class CliProcess {
public:
    explicit CliProcess(const TempDir& dir) : m_home(dir.file(QStringLiteral("home"))) {}

    const QString& home() const { return m_home; }

    CliResult run(const QStringList& arguments, const QByteArray& input = {},
                  int timeoutMs = 60000) const {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESKOR_HOME"), m_home);
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESKOR_CLI_BINARY), arguments);
        CliResult result;
        if (!process.waitForStarted()) {
            return result;
        }
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
        }
        result.crashed = process.exitStatus() != QProcess::NormalExit;
        result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

private:
    QString m_home;
};

} // namespace keskor::test
