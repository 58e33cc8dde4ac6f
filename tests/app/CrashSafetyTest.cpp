// Kills real keskor-cli saves of a large database at random moments. After every kill the
// database must be the old or the new one whole, every backup must open, the settings file
// must read, and at most the one temporary file of the killed write may be left beside them,
// for the next write to remove.

#include "core/shared/ArchiveHelper.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/FileFormats.h"
#include "core/shared/KeyHelper.h"
#include "tests/app/CliTestBase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <algorithm>
#include <random>

namespace keskor::test {
namespace {

constexpr int kEntries = 10000;
// 250 kills fit the suite's time budget on two busy cores; KESKOR_CRASH_KILLS=1000 runs more.
const int kKills = qEnvironmentVariableIntValue("KESKOR_CRASH_KILLS") > 0
                       ? qEnvironmentVariableIntValue("KESKOR_CRASH_KILLS")
                       : 250;

class CrashSafetyTest : public CliTestBase {
protected:
    KeyHelper keys;
    QString backups = cli.home() + QStringLiteral("/documents/Backups");

    /// The entries of a database text, or -1 when it does not open.
    int entryCount(const QByteArray& text) {
        try {
            PassFile header;
            header.load(text, nullptr, true);
            const Key256 key = keys.keyFromCredentials(
                header, Credentials(QString::fromUtf8(kMaster.trimmed()), std::nullopt));
            PassFile file;
            file.load(text, &key, false);
            return static_cast<int>(file.itemCount());
        } catch (const CommonException&) {
            return -1;
        }
    }

    /// Starts an edit that saves, waits `delayMs` and kills it unless it has finished.
    bool saveKilledAfter(int n, int delayMs) const {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESKOR_HOME"), cli.home());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KESKOR_CLI_BINARY),
                      {QStringLiteral("add"), db, QStringLiteral("F0/Crash %1").arg(n)});
        process.write(kMaster);
        process.closeWriteChannel();
        const bool finished = process.waitForFinished(delayMs);
        if (!finished) {
            process.kill();
            process.waitForFinished();
        }
        return finished && process.exitCode() == 0;
    }
};

TEST_F(CrashSafetyTest, AKilledSaveLeavesTheOldOrTheNewDatabaseAndReadableBackups) {
    createDatabase();
    QByteArray csv = "title,username,password,url,folder\n";
    for (int i = 0; i < kEntries; ++i) {
        csv += QStringLiteral("Entry %1,user%1,pw-%2,https://site%1.example/,F%3\n")
                   .arg(i)
                   .arg(i * 7919)
                   .arg(i % 10)
                   .toUtf8();
    }
    dir.write(QStringLiteral("in.csv"), csv);
    ok({QStringLiteral("import"), db, dir.file(QStringLiteral("in.csv"))});
    ok({QStringLiteral("settings"), QStringLiteral("set"),
        QStringLiteral("setting_backup_on_saving"), QStringLiteral("true")});
    ok({QStringLiteral("settings"), QStringLiteral("set"), QStringLiteral("setting_backup_count"),
        QStringLiteral("3")});

    // A whole run sets the range of the kill moments.
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(saveKilledAfter(-1, 60000));
    const int wholeRunMs = static_cast<int>(timer.elapsed());

    QByteArray current = bytes(db);
    int count = entryCount(current);
    ASSERT_GT(count, kEntries);
    QHash<QString, QByteArray> checked; // backup -> digest of the version that opened
    std::mt19937 random(20260108);
    int completed = 0;
    int leftBehind = 0;
    const auto opens = [this](const QString& backup) {
        try {
            return entryCount(ArchiveHelper::readEntry(backup, FileFormats::DATABASE_NAME)) >= 0;
        } catch (const CommonException&) {
            return false;
        }
    };
    for (int n = 0; n < kKills; ++n) {
        const bool finished =
            saveKilledAfter(n, std::uniform_int_distribution<int>(0, wholeRunMs)(random));
        const QByteArray now = bytes(db);
        ASSERT_TRUE(!finished || now != current) << "a save that ended is lost";
        if (now != current) {
            ASSERT_EQ(entryCount(now), count + 1) << "after kill " << n;
            current = now;
            ++count;
        }
        completed += finished;
        // Temporary files only of the killed write, at most one per folder.
        const auto leftovers = [](const QString& folder) {
            const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
            return std::count_if(names.cbegin(), names.cend(), &AtomicFile::isTemporaryName);
        };
        ASSERT_LE(leftovers(backups), finished ? 0 : 1) << "in the backups after run " << n;
        ASSERT_LE(leftovers(dir.path()), finished ? 0 : 1) << "beside the database after run " << n;
        leftBehind += leftovers(backups) + leftovers(dir.path()) > 0;
        for (const QFileInfo& backup : QDir(backups).entryInfoList(QDir::Files | QDir::Hidden)) {
            if (AtomicFile::isTemporaryName(backup.fileName())) {
                continue;
            }
            const QByteArray digest =
                QCryptographicHash::hash(bytes(backup.filePath()), QCryptographicHash::Sha256);
            if (checked.value(backup.fileName()) != digest) {
                ASSERT_TRUE(opens(backup.filePath()))
                    << backup.fileName().toStdString() << " after kill " << n;
                checked.insert(backup.fileName(), digest);
            }
        }
        ASSERT_LE(checked.size(), 4) << "backups beyond the rotation's slots";
        ASSERT_EQ(
            QSettings(cli.home() + QStringLiteral("/settings.ini"), QSettings::IniFormat).status(),
            QSettings::NoError);
        const QStringList beside = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        ASSERT_EQ(beside.size() - leftovers(dir.path()), 2)
            << "left beside the database: " << beside.join(u' ').toStdString();
    }
    RecordProperty("kills", kKills - completed);
    RecordProperty("completed", completed);
    RecordProperty("left_temporary_files", leftBehind);
}

} // namespace
} // namespace keskor::test
