#pragma once
// The databases of the reference server: an index ("databases.json": id, path, file, members)
// and one file per database under "databases/", holding the database text sealed with the
// default key, as it travels in an open answer. Every write is atomic.

#include "core/shared/PassFile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace keskor::testing {

struct ServerDatabase {
    QString id;
    /// Slash-separated, e.g. "Team/Accounts"; its last component is the name the client opens.
    QString path;
    QString file;
    /// Ids of the users who see the database; empty: every user.
    QStringList members;

    QString name() const { return path.section(QLatin1Char('/'), -1); }
    bool visibleTo(const QString& userId) const {
        return members.isEmpty() || members.contains(userId);
    }
};

class ServerDatabaseStore {
public:
    explicit ServerDatabaseStore(QString folder);

    bool load(QString* error);

    const QList<ServerDatabase>& databases() const noexcept { return m_databases; }
    QList<ServerDatabase> visibleTo(const QString& userId) const;
    /// The visible database whose id, path or name is `key`, in that order of preference.
    std::optional<ServerDatabase> find(const QString& userId, const QString& key) const;
    std::optional<ServerDatabase> findById(const QString& id) const;

    /// Throws CommonException when the file is missing or damaged.
    PassFile read(const ServerDatabase& database) const;
    bool write(const ServerDatabase& database, const PassFile& file, QString* error) const;
    /// Adds a database under a new id and writes it and the index; nothing on failure.
    std::optional<ServerDatabase> add(const QString& path, const PassFile& file,
                                      const QStringList& members, QString* error);

    /// Appends a request for access to a sealed entry to "access-requests.json", for an
    /// approver to see.
    bool recordAccessRequest(const QString& databaseId, const QString& itemId,
                             const QString& permissionId, const QString& userId,
                             const QString& reason, QString* error) const;

private:
    bool saveIndex(QString* error) const;
    QString filePath(const ServerDatabase& database) const;

    QString m_folder;
    QList<ServerDatabase> m_databases;
};

} // namespace keskor::testing
