#pragma once
// The elliptic-curve half of the enterprise key exchange, with OpenSSL 3's EVP_PKEY API: a key
// pair on the curve the server names, the peer's public key in PEM, and the ECDH secret. One
// helper belongs to one connection (the server side uses its own per connection), so
// concurrent log-ins never share key slots.

#include <QString>
#include <optional>

typedef struct evp_pkey_st EVP_PKEY;

namespace keskor {

class OpenSSLHelper {
public:
    OpenSSLHelper() = default;
    ~OpenSSLHelper();
    OpenSSLHelper(const OpenSSLHelper&) = delete;
    OpenSSLHelper& operator=(const OpenSSLHelper&) = delete;

    /// Empties both slots and makes a fresh key pair on the curve `curveNid` (an OpenSSL
    /// NID). False when OpenSSL does not know the curve.
    bool initOpenSSL(int curveNid);
    /// Replaces the peer key with the PEM public key in `pem`; nothing or an unreadable text
    /// leaves the slot empty (false for the latter).
    bool setPeerKey(const std::optional<QString>& pem);
    /// The own public key as a PEM block (marker lines included); empty without a key pair.
    QString getPublicKey() const;
    /// The ECDH secret in upper-case hexadecimal; empty when a key is missing or the curves
    /// differ.
    QString getCommonSecret() const;
    /// The curve of the own key pair, as a NID; 0 without one.
    int curveNid() const;

private:
    void clear();
    EVP_PKEY* m_ownKey = nullptr;
    EVP_PKEY* m_peerKey = nullptr;
};

} // namespace keskor
