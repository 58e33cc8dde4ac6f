#include "testing/enterprise-server/ServerCertificate.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/SecureBytes.h"

#include <QDir>
#include <QFile>
#include <memory>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace keskor::testing {

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct ExtFree {
    void operator()(X509_EXTENSION* e) const { X509_EXTENSION_free(e); }
};

QByteArray bioBytes(BIO* bio) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? QByteArray(data, size) : QByteArray();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

} // namespace

bool ServerCertificate::loadOrCreate(const QString& folder, QString* error) {
    const QString certPath = QDir(folder).filePath(QStringLiteral("server-cert.pem"));
    const QString keyPath = QDir(folder).filePath(QStringLiteral("server-key.pem"));
    QByteArray certPem = readFile(certPath);
    QByteArray keyPem = readFile(keyPath);
    if (certPem.isEmpty() || keyPem.isEmpty()) {
        if (!create(&certPem, &keyPem, error) || !AtomicFile::write(keyPath, keyPem, error) ||
            !AtomicFile::write(certPath, certPem, error,
                               QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
            secureWipe(keyPem);
            return false;
        }
    }
    m_certificate = QSslCertificate(certPem, QSsl::Pem);
    m_key = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
    secureWipe(keyPem);
    if (m_certificate.isNull() || m_key.isNull()) {
        *error = QStringLiteral("the stored certificate or key cannot be read");
        return false;
    }
    return true;
}

bool ServerCertificate::create(QByteArray* certificatePem, QByteArray* keyPem, QString* error) {
    std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_EC_gen("P-256"));
    std::unique_ptr<X509, X509Free> cert(X509_new());
    if (!key || !cert) {
        *error = QStringLiteral("OpenSSL cannot make a key pair");
        return false;
    }
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F;
    BIGNUM* serialBn = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(serialBn, X509_get_serialNumber(cert.get()));
    BN_free(serialBn);
    X509_set_version(cert.get(), 2);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3650L * 24 * 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Keskor reference server"),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert.get(), cert.get(), nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, ExtFree> san(
        X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost"));
    if (!san || X509_add_ext(cert.get(), san.get(), -1) != 1 ||
        X509_sign(cert.get(), key.get(), EVP_sha256()) <= 0) {
        *error = QStringLiteral("OpenSSL cannot sign the certificate");
        return false;
    }
    std::unique_ptr<BIO, BioFree> certBio(BIO_new(BIO_s_mem()));
    std::unique_ptr<BIO, BioFree> keyBio(BIO_new(BIO_s_mem()));
    if (!certBio || !keyBio || PEM_write_bio_X509(certBio.get(), cert.get()) != 1 ||
        PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
            1) {
        *error = QStringLiteral("OpenSSL cannot write the certificate");
        return false;
    }
    *certificatePem = bioBytes(certBio.get());
    *keyPem = bioBytes(keyBio.get());
    return true;
}

} // namespace keskor::testing
