#pragma once
// Runs the built keskor-cli as a user would, in a profile of its own: arguments, what goes to
// standard input, and the exit status and both outputs that come back. The event loop runs
// while it waits, so servers of the test process (a range service) can answer it.

#include "tests/support/QtPrinters.h"
#include "tests/support/TempDir.h"

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

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
    /// An environment variable for every later run.
    void setEnv(const QString& name, const QString& value) { m_extra.insert(name, value); }

    /// `onError` sees standard error as it arrives (a sign-in address to follow, say) and may
    /// answer on standard input, which then stays open until the program ends.
    CliResult run(const QStringList& arguments, const QByteArray& input = {}, int timeoutMs = 60000,
                  const std::function<void(const QString&, QProcess&)>& onError = {}) const {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESKOR_HOME"), m_home);
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // Every peer of a test is on 127.0.0.1.
        for (const char* proxy : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"}) {
            env.remove(QString::fromLatin1(proxy));
        }
        env.insert(m_extra);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESKOR_CLI_BINARY), arguments);
        CliResult result;
        if (!process.waitForStarted()) {
            return result;
        }
        process.write(input);
        QString err;
        if (onError) {
            QObject::connect(&process, &QProcess::readyReadStandardError, [&] {
                const QString piece = QString::fromUtf8(process.readAllStandardError());
                err += piece;
                onError(piece, process);
            });
        } else {
            process.closeWriteChannel();
        }
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        if (process.state() != QProcess::NotRunning) {
            loop.exec();
        }
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
        result.crashed = process.exitStatus() != QProcess::NormalExit;
        result.exitCode = process.exitCode();
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = err + QString::fromUtf8(process.readAllStandardError());
        return result;
    }

private:
    QString m_home;
    QProcessEnvironment m_extra;
};

} // namespace keskor::test
