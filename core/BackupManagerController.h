#pragma once
// The logic of the backup manager without its widgets: the backups of the open database,
// newest first, and opening, restoring or deleting the chosen one, each asked through the
// presenter first where it replaces or removes something.

#include "core/BackupFileInfo.h"
#include "core/BackupStorage.h"

#include <QList>
#include <QString>
#include <functional>

namespace keskor {

class AppPaths;
class DatabaseController;
class Presenter;
class SessionManager;

class BackupManagerController {
public:
    using TextLookup = std::function<QString(const QString& key)>;

    struct Dependencies {
        const AppPaths& paths;
        BackupStorage& storage;
        DatabaseController& databases;
        SessionManager& session;
        Presenter& presenter;
        TextLookup text;
    };

    explicit BackupManagerController(Dependencies deps);

    /// The backups of the database named `databaseName` (its slots B, B_1, B_2 ...), newest
    /// first.
    static QList<BackupFileInfo> backupsOf(const BackupStorage& storage,
                                           const QString& databaseName);

    /// Lists again: the open database's backups, or every backup while none is open or the
    /// open one is itself a backup. Sorted as last asked.
    void reload();
    void sort(BackupStorage::SortKey key, Qt::SortOrder order);
    const QList<BackupFileInfo>& backups() const noexcept { return m_backups; }
    /// Restoring needs an open database that is not a backup itself.
    bool canRestore() const;

    /// Opens the backup as a database of the backup location, after the close questions of
    /// the open one; true when it was opened.
    bool onOpen(int row);
    /// Replaces the content of the open database by the backup's, read with the session's
    /// credentials; the version replaced is kept as a new backup first. Saved at once.
    bool onRestore(int row);
    /// Deletes the backup after asking; the list is read again.
    bool onDelete(int row);

private:
    const BackupFileInfo* at(int row) const;
    bool confirm(const QString& question);
    void error(const QString& text);

    Dependencies m_d;
    QList<BackupFileInfo> m_backups;
    BackupStorage::SortKey m_sortKey = BackupStorage::SortKey::modified;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
};

} // namespace keskor
