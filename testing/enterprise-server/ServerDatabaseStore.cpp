#include "testing/enterprise-server/ServerDatabaseStore.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace keskor::testing {

namespace {

constexpr qint64 kMaxDatabaseFile = qint64(256) << 20;

QString indexPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("databases.json"));
}

// A path must survive the "path=id" lines of the list answer.
bool isListablePath(const QString& path) {
    return !path.isEmpty() && !path.contains(QLatin1Char('=')) &&
           !path.contains(QLatin1Char('\r')) && !path.contains(QLatin1Char('\n'));
}

} // namespace

ServerDatabaseStore::ServerDatabaseStore(QString folder) : m_folder(std::move(folder)) {}

bool ServerDatabaseStore::load(QString* error) {
    m_databases.clear();
    QFile file(indexPath(m_folder));
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject() || !doc.object().value(QStringLiteral("databases")).isArray()) {
        *error = QStringLiteral("not a database index");
        return false;
    }
    for (const QJsonValue& v : doc.object().value(QStringLiteral("databases")).toArray()) {
        const QJsonObject o = v.toObject();
        ServerDatabase db;
        db.id = o.value(QStringLiteral("id")).toString();
        db.path = o.value(QStringLiteral("path")).toString();
        db.file = o.value(QStringLiteral("file")).toString();
        for (const QJsonValue& m : o.value(QStringLiteral("members")).toArray()) {
            db.members.append(m.toString());
        }
        // The file name must stay inside the databases folder.
        if (db.id.isEmpty() || !isListablePath(db.path) || db.file.isEmpty() ||
            db.file.contains(QLatin1Char('/')) || db.file.startsWith(QLatin1Char('.')) ||
            findById(db.id)) {
            *error = QStringLiteral("a database entry is incomplete or repeats an id");
            m_databases.clear();
            return false;
        }
        m_databases.append(db);
    }
    return true;
}

QList<ServerDatabase> ServerDatabaseStore::visibleTo(const QString& userId) const {
    QList<ServerDatabase> out;
    for (const ServerDatabase& db : m_databases) {
        if (db.visibleTo(userId)) {
            out.append(db);
        }
    }
    return out;
}

std::optional<ServerDatabase> ServerDatabaseStore::find(const QString& userId,
                                                        const QString& key) const {
    const QList<ServerDatabase> visible = visibleTo(userId);
    for (auto match : {&ServerDatabase::id, &ServerDatabase::path}) {
        for (const ServerDatabase& db : visible) {
            if (db.*match == key) {
                return db;
            }
        }
    }
    for (const ServerDatabase& db : visible) {
        if (db.name() == key) {
            return db;
        }
    }
    return std::nullopt;
}

std::optional<ServerDatabase> ServerDatabaseStore::findById(const QString& id) const {
    for (const ServerDatabase& db : m_databases) {
        if (db.id == id) {
            return db;
        }
    }
    return std::nullopt;
}

QString ServerDatabaseStore::filePath(const ServerDatabase& database) const {
    return QDir(m_folder).filePath(QStringLiteral("databases/") + database.file);
}

PassFile ServerDatabaseStore::read(const ServerDatabase& database) const {
    QFile file(filePath(database));
    if (!file.open(QIODevice::ReadOnly)) {
        throw CommonException(QStringLiteral("Database file cannot be read: ") +
                              file.errorString());
    }
    if (file.size() > kMaxDatabaseFile) {
        throw CommonException(QStringLiteral("Database file is too large"));
    }
    PassFile passFile;
    const Key256 key = KeyHelper::getDefaultLMDKey();
    passFile.load(file.readAll(), &key, false);
    return passFile;
}

bool ServerDatabaseStore::write(const ServerDatabase& database, const PassFile& file,
                                QString* error) const {
    if (!QDir(m_folder).mkpath(QStringLiteral("databases"))) {
        *error = QStringLiteral("cannot create the databases folder");
        return false;
    }
    return AtomicFile::write(filePath(database), file.getData(KeyHelper::getDefaultLMDKey()),
                             error);
}

std::optional<ServerDatabase> ServerDatabaseStore::add(const QString& path, const PassFile& file,
                                                       const QStringList& members, QString* error) {
    int next = 1;
    while (findById(QString::number(next))) {
        ++next;
    }
    ServerDatabase db{QString::number(next), path, QString::number(next) + QStringLiteral(".pswd"),
                      members};
    if (!write(db, file, error)) {
        return std::nullopt;
    }
    m_databases.append(db);
    if (!saveIndex(error)) {
        m_databases.removeLast();
        return std::nullopt;
    }
    return db;
}

bool ServerDatabaseStore::recordAccessRequest(const QString& databaseId, const QString& itemId,
                                              const QString& permissionId, const QString& userId,
                                              const QString& reason, QString* error) const {
    const QString path = QDir(m_folder).filePath(QStringLiteral("access-requests.json"));
    QFile file(path);
    QJsonArray requests;
    if (file.open(QIODevice::ReadOnly)) {
        requests = QJsonDocument::fromJson(file.readAll()).array();
    }
    requests.append(QJsonObject{
        {QStringLiteral("database"), databaseId},
        {QStringLiteral("entry"), itemId},
        {QStringLiteral("permission"), permissionId},
        {QStringLiteral("user"), userId},
        {QStringLiteral("reason"), reason},
        {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}});
    return AtomicFile::write(path, QJsonDocument(requests).toJson(), error);
}

bool ServerDatabaseStore::saveIndex(QString* error) const {
    QJsonArray list;
    for (const ServerDatabase& db : m_databases) {
        list.append(
            QJsonObject{{QStringLiteral("id"), db.id},
                        {QStringLiteral("path"), db.path},
                        {QStringLiteral("file"), db.file},
                        {QStringLiteral("members"), QJsonArray::fromStringList(db.members)}});
    }
    return AtomicFile::write(
        indexPath(m_folder),
        QJsonDocument(QJsonObject{{QStringLiteral("databases"), list}}).toJson(), error);
}

} // namespace keskor::testing
