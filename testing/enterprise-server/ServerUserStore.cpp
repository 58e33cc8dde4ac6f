#include "testing/enterprise-server/ServerUserStore.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/SecureBytes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sodium.h>

namespace keskor::testing {

namespace {

QJsonObject toJson(const ServerUser& u) {
    return QJsonObject{
        {QStringLiteral("id"), u.id},
        {QStringLiteral("name"), u.name},
        {QStringLiteral("fullname"), u.fullname},
        {QStringLiteral("roles"), static_cast<qint64>(u.roles)},
        {QStringLiteral("passwordHash"), u.passwordHash},
        {QStringLiteral("mustChangePassword"), u.mustChangePassword},
        {QStringLiteral("twoFactorRequired"), u.twoFactorRequired},
        {QStringLiteral("allowTrust"), u.allowTrust},
        {QStringLiteral("totpSecret"), u.totpSecret},
        {QStringLiteral("pendingSecret"), u.pendingSecret},
        {QStringLiteral("lastTotpStep"), static_cast<qint64>(u.lastTotpStep)},
        {QStringLiteral("trustedTokens"), QJsonArray::fromStringList(u.trustedTokenDigests)},
    };
}

std::optional<ServerUser> fromJson(const QJsonObject& o) {
    ServerUser u;
    u.id = o.value(QStringLiteral("id")).toString();
    u.name = o.value(QStringLiteral("name")).toString();
    u.passwordHash = o.value(QStringLiteral("passwordHash")).toString();
    if (u.id.isEmpty() || u.name.isEmpty() || u.passwordHash.isEmpty()) {
        return std::nullopt;
    }
    u.fullname = o.value(QStringLiteral("fullname")).toString();
    u.roles = static_cast<std::uint32_t>(o.value(QStringLiteral("roles")).toInteger());
    u.mustChangePassword = o.value(QStringLiteral("mustChangePassword")).toBool();
    u.twoFactorRequired = o.value(QStringLiteral("twoFactorRequired")).toBool();
    u.allowTrust = o.value(QStringLiteral("allowTrust")).toBool(true);
    u.totpSecret = o.value(QStringLiteral("totpSecret")).toString();
    u.pendingSecret = o.value(QStringLiteral("pendingSecret")).toString();
    u.lastTotpStep = o.value(QStringLiteral("lastTotpStep")).toInteger(-1);
    for (const QJsonValue& t : o.value(QStringLiteral("trustedTokens")).toArray()) {
        u.trustedTokenDigests.append(t.toString());
    }
    return u;
}

QPair<QDateTime, qint64> stamp(const QString& path) {
    const QFileInfo info(path);
    return {info.lastModified(), info.exists() ? info.size() : -1};
}

} // namespace

ServerUserStore::HashCost ServerUserStore::HashCost::interactive() {
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

ServerUserStore::HashCost ServerUserStore::HashCost::minimum() {
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

ServerUserStore::ServerUserStore(QString path, HashCost cost)
    : m_path(std::move(path)), m_cost(cost) {}

bool ServerUserStore::load(QString* error) {
    m_users.clear();
    m_seen = stamp(m_path);
    QFile file(m_path);
    if (!file.exists()) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject() || !doc.object().value(QStringLiteral("users")).isArray()) {
        *error = QStringLiteral("not a user list");
        return false;
    }
    for (const QJsonValue& v : doc.object().value(QStringLiteral("users")).toArray()) {
        const std::optional<ServerUser> user = fromJson(v.toObject());
        if (!user || findByName(user->name) || findById(user->id)) {
            *error =
                QStringLiteral("a user entry lacks its id, name or password hash, or repeats one");
            m_users.clear();
            return false;
        }
        m_users.append(*user);
    }
    return true;
}

void ServerUserStore::reloadIfChanged() {
    if (stamp(m_path) == m_seen) {
        return;
    }
    const QList<ServerUser> kept = m_users;
    QString error;
    if (!load(&error)) {
        m_users = kept;
    }
}

bool ServerUserStore::save(QString* error) {
    QJsonArray list;
    for (const ServerUser& u : m_users) {
        list.append(toJson(u));
    }
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("users"), list}}).toJson();
    const bool written = AtomicFile::write(m_path, bytes, error);
    m_seen = stamp(m_path);
    return written;
}

std::optional<ServerUser> ServerUserStore::findByName(const QString& name) const {
    for (const ServerUser& u : m_users) {
        if (u.name == name) {
            return u;
        }
    }
    return std::nullopt;
}

std::optional<ServerUser> ServerUserStore::findById(const QString& id) const {
    for (const ServerUser& u : m_users) {
        if (u.id == id) {
            return u;
        }
    }
    return std::nullopt;
}

std::optional<QString> ServerUserStore::addUser(const QString& name, const QString& password,
                                                const QString& fullname, std::uint32_t roles) {
    if (name.isEmpty() || findByName(name)) {
        return std::nullopt;
    }
    ServerUser user;
    int next = 1;
    while (findById(QString::number(next))) {
        ++next;
    }
    user.id = QString::number(next);
    user.name = name;
    user.fullname = fullname;
    user.roles = roles;
    user.passwordHash = hashPassword(password);
    if (user.passwordHash.isEmpty()) {
        return std::nullopt;
    }
    m_users.append(user);
    return user.id;
}

bool ServerUserStore::update(const ServerUser& user, QString* error) {
    for (ServerUser& u : m_users) {
        if (u.id == user.id) {
            u = user;
            return save(error);
        }
    }
    *error = QStringLiteral("no such user");
    return false;
}

bool ServerUserStore::verifyPassword(const ServerUser& user, const QString& password) const {
    QByteArray utf8 = password.toUtf8();
    const QByteArray hash = user.passwordHash.toLatin1();
    const bool ok = crypto_pwhash_str_verify(hash.constData(), utf8.constData(),
                                             static_cast<unsigned long long>(utf8.size())) == 0;
    secureWipe(utf8);
    return ok;
}

QString ServerUserStore::hashPassword(const QString& password) const {
    QByteArray utf8 = password.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    const int rc =
        crypto_pwhash_str(hash, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          m_cost.opsLimit, m_cost.memLimit);
    secureWipe(utf8);
    return rc == 0 ? QString::fromLatin1(hash) : QString();
}

QString ServerUserStore::tokenDigest(const QString& token) {
    return QString::fromLatin1(
        QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex());
}

} // namespace keskor::testing
