#pragma once
// The users of the reference server, kept as JSON in its data folder ("users.json", written
// atomically, owner-only). Passwords are stored only as libsodium crypto_pwhash (Argon2id)
// strings; trusted devices only as SHA-256 digests of their tokens.

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace keskor::testing {

struct ServerUser {
    QString id;
    QString name;
    QString fullname;
    std::uint32_t roles = 0;
    QString passwordHash;
    bool mustChangePassword = false;
    bool twoFactorRequired = false;
    /// Whether a device may be trusted so that it is not asked for a code again.
    bool allowTrust = true;
    /// Base32; empty until the user activated two-factor log-in.
    QString totpSecret;
    /// Base32 secret handed out for activation and not yet confirmed by a code.
    QString pendingSecret;
    /// The last time step whose code was accepted: a code is good for one log-in only.
    std::int64_t lastTotpStep = -1;
    QStringList trustedTokenDigests;
};

class ServerUserStore {
public:
    /// Argon2id cost of new password hashes. Tests use the minimum.
    struct HashCost {
        unsigned long long opsLimit;
        std::size_t memLimit;
        static HashCost interactive();
        static HashCost minimum();
    };

    ServerUserStore(QString path, HashCost cost);

    /// Reads the file; a missing file is an empty store. False with `error` for a file that
    /// is not ours.
    bool load(QString* error);
    bool save(QString* error);
    /// Reads the file again when something else (`--add-user` beside a running server) wrote
    /// it since; keeps what is in memory when the new file cannot be read.
    void reloadIfChanged();

    const QList<ServerUser>& users() const noexcept { return m_users; }
    std::optional<ServerUser> findByName(const QString& name) const;
    std::optional<ServerUser> findById(const QString& id) const;
    /// The new user's id; nothing when the name is taken or empty, or hashing fails.
    std::optional<QString> addUser(const QString& name, const QString& password,
                                   const QString& fullname, std::uint32_t roles);
    /// Replaces the user with the same id and saves.
    bool update(const ServerUser& user, QString* error);

    bool verifyPassword(const ServerUser& user, const QString& password) const;
    /// A new hash for `password`; empty when hashing fails (out of memory).
    QString hashPassword(const QString& password) const;

    static QString tokenDigest(const QString& token);

private:
    QString m_path;
    HashCost m_cost;
    QList<ServerUser> m_users;
    /// Modification time and size of the file as last read or written.
    QPair<QDateTime, qint64> m_seen;
};

} // namespace keskor::testing
