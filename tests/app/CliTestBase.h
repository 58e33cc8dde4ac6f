#pragma once
// The common ground of the keskor-cli tests: a temporary home, one database in it, the master
// password piped to every run, and short forms for "this must succeed".

#include "tests/app/CliProcess.h"
#include "tests/support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace keskor::test {

class CliTestBase : public ::testing::Test {
protected:
    static inline const QByteArray kMaster = "correct-Horse-battery-9-staple\n";

    TempDir dir;
    CliProcess cli{dir};
    QString db = dir.file(QStringLiteral("family.pswe"));

    CliResult run(const QStringList& arguments, const QByteArray& input = kMaster) const {
        return cli.run(arguments, input);
    }
    /// A database with a cheap key derivation, so that tests spend their time on our code.
    void createDatabase(const QString& path) const {
        const CliResult r =
            run({QStringLiteral("create"), path, QStringLiteral("--kdf-memory"),
                 QStringLiteral("8"), QStringLiteral("--kdf-passes"), QStringLiteral("1")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    void createDatabase() const { createDatabase(db); }
    void ok(const QStringList& arguments, const QByteArray& input = kMaster) const {
        const CliResult r = run(arguments, input);
        ASSERT_EQ(r.exitCode, 0) << arguments.join(u' ').toStdString() << "\n"
                                 << r.err.toStdString();
    }
    QByteArray bytes(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace keskor::test
