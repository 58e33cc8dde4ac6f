#pragma once
// The last ten databases opened, across all locations, newest first. Stored in the defaults
// store as strings of the four DatabaseInfo fields joined by "***". Without a sandbox there are
// no bookmarks to keep: the stored path is the access.

#include "core/DatabaseInfo.h"

#include <QList>
#include <QString>

namespace keskor {

class DefaultsStore;

class RecentFileManager {
public:
    explicit RecentFileManager(DefaultsStore& standardDefault);

    const int maxCount = 10;
    const QString save_key = QStringLiteral("key_recent_files");
    const QString separator = QStringLiteral("***");

    /// The stored list; malformed elements are skipped without error.
    QList<DatabaseInfo> recentFiles() const;
    /// Puts `info` at the front, dropping entries of the same location whose name and path
    /// equal it but for letter case, and the oldest beyond ten.
    void addRecentFile(const DatabaseInfo& info);

    QString encode(const DatabaseInfo& info) const;
    std::optional<DatabaseInfo> decode(const QString& text) const;

private:
    DefaultsStore& m_standardDefault;
};

} // namespace keskor
