#include "enterprise/OpenSSLHelper.h"

#include "core/shared/SecureBytes.h"

#include <QByteArray>
#include <memory>
#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <vector>

namespace keskor {

namespace {

struct CtxFree {
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
using CtxPtr = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;
using BioPtr = std::unique_ptr<BIO, BioFree>;

constexpr int kMaxPem = 4096;

} // namespace

OpenSSLHelper::~OpenSSLHelper() {
    clear();
}

void OpenSSLHelper::clear() {
    EVP_PKEY_free(m_ownKey);
    EVP_PKEY_free(m_peerKey);
    m_ownKey = nullptr;
    m_peerKey = nullptr;
}

bool OpenSSLHelper::initOpenSSL(int curveNid) {
    clear();
    CtxPtr paramCtx(EVP_PKEY_CTX_new_id(EVP_PKEY_EC, nullptr));
    if (!paramCtx || EVP_PKEY_paramgen_init(paramCtx.get()) <= 0 ||
        EVP_PKEY_CTX_set_ec_paramgen_curve_nid(paramCtx.get(), curveNid) <= 0) {
        return false;
    }
    EVP_PKEY* params = nullptr;
    if (EVP_PKEY_paramgen(paramCtx.get(), &params) <= 0) {
        return false;
    }
    CtxPtr keyCtx(EVP_PKEY_CTX_new(params, nullptr));
    EVP_PKEY_free(params);
    if (!keyCtx || EVP_PKEY_keygen_init(keyCtx.get()) <= 0) {
        return false;
    }
    return EVP_PKEY_keygen(keyCtx.get(), &m_ownKey) > 0;
}

bool OpenSSLHelper::setPeerKey(const std::optional<QString>& pem) {
    EVP_PKEY_free(m_peerKey);
    m_peerKey = nullptr;
    if (!pem) {
        return true;
    }
    const QByteArray bytes = pem->toUtf8();
    if (bytes.isEmpty() || bytes.size() > kMaxPem) {
        return false;
    }
    BioPtr bio(BIO_new_mem_buf(bytes.constData(), static_cast<int>(bytes.size())));
    if (!bio) {
        return false;
    }
    m_peerKey = PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr);
    if (m_peerKey != nullptr && EVP_PKEY_get_base_id(m_peerKey) != EVP_PKEY_EC) {
        EVP_PKEY_free(m_peerKey);
        m_peerKey = nullptr;
    }
    return m_peerKey != nullptr;
}

QString OpenSSLHelper::getPublicKey() const {
    if (m_ownKey == nullptr) {
        return {};
    }
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PUBKEY(bio.get(), m_ownKey) <= 0) {
        return {};
    }
    char buffer[kMaxPem];
    const int read = BIO_read(bio.get(), buffer, kMaxPem);
    return read > 0 ? QString::fromUtf8(buffer, read) : QString();
}

QString OpenSSLHelper::getCommonSecret() const {
    if (m_ownKey == nullptr || m_peerKey == nullptr) {
        return {};
    }
    CtxPtr ctx(EVP_PKEY_CTX_new(m_ownKey, nullptr));
    size_t length = 0;
    if (!ctx || EVP_PKEY_derive_init(ctx.get()) <= 0 ||
        EVP_PKEY_derive_set_peer(ctx.get(), m_peerKey) <= 0 ||
        EVP_PKEY_derive(ctx.get(), nullptr, &length) <= 0) {
        return {};
    }
    SecureBytes secret(length);
    if (EVP_PKEY_derive(ctx.get(), secret.data(), &length) <= 0) {
        return {};
    }
    static const char digits[] = "0123456789ABCDEF";
    QString hex;
    hex.reserve(static_cast<qsizetype>(length * 2));
    for (size_t i = 0; i < length; ++i) {
        hex.append(QLatin1Char(digits[secret.data()[i] >> 4]));
        hex.append(QLatin1Char(digits[secret.data()[i] & 0xF]));
    }
    return hex;
}

int OpenSSLHelper::curveNid() const {
    if (m_ownKey == nullptr) {
        return 0;
    }
    char name[80] = {};
    size_t length = 0;
    if (EVP_PKEY_get_utf8_string_param(m_ownKey, OSSL_PKEY_PARAM_GROUP_NAME, name, sizeof name,
                                       &length) <= 0) {
        return 0;
    }
    return OBJ_sn2nid(name);
}

} // namespace keskor
