#pragma once
// The backup folder ("Backups" in the documents folder): writes rotating Zip-form copies of a
// database, lists and deletes them, and hands one out as a database to open.
//
// Slots of a base name B are B.pswd, B_1.pswd, ... B_N.pswd, N being the backup count. The
// last slot is given up for every new backup, so once the slots before it are taken the newest
// backup always lands there and the older slots keep their first contents.

#include "core/BackupFileInfo.h"
#include "core/DatabaseInfo.h"
#include "core/shared/Key256.h"
#include "core/shared/PassFile.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QWaitCondition>
#include <Qt>
#include <deque>
#include <functional>

class QThreadPool;

namespace keskor {

class AppPaths;

class BackupStorage {
public:
    static constexpr int kDefaultBackupCount = 7;

    enum class SortKey { name, size, modified };

    /// `backupCount` is asked afresh for every backup, as settings are read on every use;
    /// without one the default count applies. Listing and the backups started by
    /// startBackup run on `pool` (the global pool when none is given).
    BackupStorage(const AppPaths& paths, std::function<int()> backupCount,
                  QThreadPool* pool = nullptr);
    /// Waits for the backups still being written.
    ~BackupStorage();
    BackupStorage(const BackupStorage&) = delete;
    BackupStorage& operator=(const BackupStorage&) = delete;

    /// The backup folder; it is created by the first backup.
    const QString& root() const noexcept { return m_root; }
    /// The count in force now; counts below 1 act as 1, so slot indices stay bounded.
    int backupCount() const;

    /// The base name of the backups of a database: its name escaped for a URL query, parsed as
    /// a URL ("untitled" when that fails), with its extension removed and unescaped again.
    static QString backupBaseName(const QString& databaseName);
    /// The file name of slot `index` of `baseName`: index 0 is the first backup, without suffix.
    static QString backupFileName(const QString& baseName, int index);

    /// Writes `file`, sealed with `key`, as a Zip-form backup into the next slot of `baseName`
    /// and returns its path. The database itself is left untouched. The write is atomic: when it
    /// fails every earlier backup is still there. Throws CommonException with a readable text.
    /// Backups started before are written first.
    QString createBackup(const QString& baseName, const Key256& key, const PassFile& file);
    /// The same backup written on the pool, so the caller goes on at once: `file` and `key` are
    /// copies the job owns and wipes when done. Backups are written one at a time, in the order
    /// they were started; a failure is logged.
    void startBackup(const QString& baseName, const Key256& key, PassFile file);
    /// Blocks until every backup started so far is written or has failed.
    void waitForBackups();

    /// Reads the folder on the pool and hands the backups, in name order, to `completion` on
    /// the main thread (never before this call returns). The storage may be gone by then; the
    /// completion must not outlive what it captures.
    void list(std::function<void(QList<BackupFileInfo>)> completion) const;
    /// The same listing, read on the calling thread. A missing or unreadable folder gives none.
    QList<BackupFileInfo> backups() const;
    static QList<BackupFileInfo> backupsIn(const QString& folder);

    /// True when the file existed in the backup folder and was removed. Files outside the
    /// backup folder are never touched.
    bool deleteBackup(const BackupFileInfo& backup);

    /// The database to open for a listed backup, at the location `backupDevice`. Throws
    /// CommonException when the file is gone, lies outside the backup folder or is no database.
    DatabaseInfo openBackup(const BackupFileInfo& backup) const;

    /// Orders a listing by one column, as the backup manager's table asks; names compare
    /// ignoring case and with numbers by value (B_2 before B_10), ties fall back to the name.
    static void sort(QList<BackupFileInfo>& backups, SortKey key,
                     Qt::SortOrder order = Qt::AscendingOrder);

private:
    struct Job {
        QString baseName;
        int count;
        Key256 key;
        PassFile file;
    };

    /// The local path of a listed backup when it lies directly in the backup folder.
    QString fileInFolder(const BackupFileInfo& backup) const;
    QString write(const QString& baseName, int count, const Key256& key, const PassFile& file);
    /// Writes the queued jobs on a pool thread until none is left.
    void drain();

    QString m_root;
    std::function<int()> m_backupCount;
    QThreadPool* m_pool = nullptr;
    /// Held while a backup rotates the slots.
    QMutex m_writing;
    /// Guards the queue below.
    QMutex m_mutex;
    QWaitCondition m_drained;
    std::deque<Job> m_jobs;
    bool m_draining = false;
};

} // namespace keskor
