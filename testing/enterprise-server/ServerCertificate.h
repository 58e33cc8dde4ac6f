#pragma once
// The TLS identity of the reference server: a self-signed P-256 certificate for 127.0.0.1 and
// localhost, made with OpenSSL on first start and kept in the data folder ("server-cert.pem",
// "server-key.pem", owner-only) so that a client that pinned it keeps trusting it.

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

namespace keskor::testing {

class ServerCertificate {
public:
    /// Loads the pair from `folder`, or makes and stores a new one. False with `error` when
    /// neither works.
    bool loadOrCreate(const QString& folder, QString* error);

    const QSslCertificate& certificate() const noexcept { return m_certificate; }
    const QSslKey& key() const noexcept { return m_key; }

private:
    bool create(QByteArray* certificatePem, QByteArray* keyPem, QString* error);

    QSslCertificate m_certificate;
    QSslKey m_key;
};

} // namespace keskor::testing
