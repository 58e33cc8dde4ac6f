#include "core/BackupManagerController.h"

#include "core/DatabaseController.h"
#include "core/FileFunctions.h"
#include "core/SessionManager.h"
#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFile.h"
#include "platform/Presenter.h"

#include <QFileInfo>
#include <algorithm>

namespace keskor {

BackupManagerController::BackupManagerController(Dependencies deps) : m_d(std::move(deps)) {}

QList<BackupFileInfo> BackupManagerController::backupsOf(const BackupStorage& storage,
                                                         const QString& databaseName) {
    const QString base = BackupStorage::backupBaseName(databaseName);
    const QString first = BackupStorage::backupFileName(base, 0);
    const QString extension = first.mid(base.size());
    QList<BackupFileInfo> mine;
    for (const BackupFileInfo& backup : storage.backups()) {
        const QString name = QFileInfo(backup.path.toLocalFile()).fileName();
        bool ours = name == first;
        if (!ours && name.startsWith(base + u'_') && name.endsWith(extension)) {
            const QString slot =
                name.mid(base.size() + 1, name.size() - base.size() - 1 - extension.size());
            ours = !slot.isEmpty() &&
                   std::all_of(slot.begin(), slot.end(), [](QChar c) { return c.isDigit(); });
        }
        if (ours) {
            mine.append(backup);
        }
    }
    BackupStorage::sort(mine, BackupStorage::SortKey::modified, Qt::DescendingOrder);
    return mine;
}

bool BackupManagerController::canRestore() const {
    return m_d.session.isDatabaseOpen() &&
           m_d.session.currentDBInfo->location != Location::backupDevice;
}

void BackupManagerController::reload() {
    m_backups = canRestore() ? backupsOf(m_d.storage, m_d.session.currentDBInfo->name)
                             : m_d.storage.backups();
    BackupStorage::sort(m_backups, m_sortKey, m_sortOrder);
}

void BackupManagerController::sort(BackupStorage::SortKey key, Qt::SortOrder order) {
    m_sortKey = key;
    m_sortOrder = order;
    BackupStorage::sort(m_backups, m_sortKey, m_sortOrder);
}

const BackupFileInfo* BackupManagerController::at(int row) const {
    return row >= 0 && row < m_backups.size() ? &m_backups[row] : nullptr;
}

bool BackupManagerController::confirm(const QString& question) {
    return m_d.presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_confirm")),
                               UiText::plain(question),
                               {UiText::key(QStringLiteral("dialog_yes")),
                                UiText::key(QStringLiteral("dialog_no"))}) == 0;
}

void BackupManagerController::error(const QString& text) {
    m_d.presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                        UiText::plain(text), {});
}

bool BackupManagerController::onOpen(int row) {
    const BackupFileInfo* backup = at(row);
    if (backup == nullptr) {
        return false;
    }
    DatabaseInfo info;
    try {
        info = m_d.storage.openBackup(*backup);
    } catch (const CommonException& e) {
        error(e.message());
        reload();
        return false;
    }
    // Opening replaces the session: the open database's unsaved changes are asked about first.
    if (m_d.session.isDatabaseOpen() && !m_d.databases.closeDatabase()) {
        return false;
    }
    return m_d.databases.openDatabase(info);
}

bool BackupManagerController::onRestore(int row) {
    const BackupFileInfo* chosen = at(row);
    if (chosen == nullptr || !canRestore()) {
        return false;
    }
    const BackupFileInfo backup = *chosen;
    SessionManager& s = m_d.session;
    // Read whole with the open database's credentials before anything changes; a backup made
    // before the master password was changed does not open with them.
    std::optional<PassFile> restored;
    try {
        const DatabaseInfo info = m_d.storage.openBackup(backup);
        const PassFile header = FileFunctions::readDatabase(m_d.paths, info, nullptr, true);
        const Key256 key = s.keyHelper.keyFromCredentials(header, s.credentials());
        restored = FileFunctions::readDatabase(m_d.paths, info, &key, false);
    } catch (const CommonException& e) {
        error(m_d.text(QStringLiteral("backup_restore_unreadable")).arg(backup.name, e.message()));
        return false;
    }
    if (!confirm(m_d.text(QStringLiteral("backup_restore_confirm"))
                     .arg(s.currentDBInfo->name, backup.name, backup.modifiedString()))) {
        return false;
    }
    // The version being replaced becomes a backup itself, so a wrong choice can be undone.
    try {
        const Key256 key = s.keyHelper.keyFromCredentials(*s.currentPassFile, s.credentials());
        m_d.storage.createBackup(BackupStorage::backupBaseName(s.currentDBInfo->name), key,
                                 *s.currentPassFile);
    } catch (const CommonException& e) {
        error(m_d.text(QStringLiteral("backup_restore_not_kept")).arg(e.message()));
        return false;
    }
    // Kept in the database's own storage form, whatever the form of the backup.
    restored->setFileType(s.currentPassFile->fileType());
    restored->setModified(true);
    s.open(*s.currentDBInfo, std::move(*restored), s.credentials(), s.remoteFileInfo);
    m_d.databases.saveSession(true);
    reload();
    return true;
}

bool BackupManagerController::onDelete(int row) {
    const BackupFileInfo* chosen = at(row);
    if (chosen == nullptr) {
        return false;
    }
    const BackupFileInfo backup = *chosen;
    if (!confirm(m_d.text(QStringLiteral("backup_delete_confirm")).arg(backup.name))) {
        return false;
    }
    const bool deleted = m_d.storage.deleteBackup(backup);
    if (!deleted) {
        error(m_d.text(QStringLiteral("backup_not_deleted")).arg(backup.name));
    }
    reload();
    return deleted;
}

} // namespace keskor
