#pragma once
// The authorisation and token endpoints of an OAuth 2.0 provider, for the REST fakes: "GET
// /authorize" sends the browser straight back to its redirect_uri with a code and the state
// (the user always agrees); "POST /token" trades the code, after checking the PKCE verifier
// against the challenge, or a refresh token for an access token. Access tokens can be expired
// at will, so a fake can answer 401 in the middle of a transfer. A confidential client (Box,
// HiDrive) proves itself with its client secret instead of PKCE; an authorisation without a
// redirect_uri then shows the code on a page for the user to copy.

#include "testing/HttpServer.h"

#include <QJsonObject>
#include <QSet>
#include <QString>

namespace keskor::testing {

class FakeOAuthServer {
public:
    FakeOAuthServer() = default;

    /// Answers the two endpoints (any path ending in "/authorize" or "/token"); nullopt for any
    /// other path (the fake's own routes).
    std::optional<HttpServer::Response> handle(const HttpServer::Request& request);

    bool isValidAccessToken(const QByteArray& authorizationHeader) const;
    /// Every access token handed out so far stops working; refresh tokens stay valid.
    void expireAccessTokens() { m_accessTokens.clear(); }
    /// Refresh tokens stop working too: the user must sign in again.
    void revokeRefreshTokens() { m_refreshTokens.clear(); }
    /// The user declines: the browser returns with "error=access_denied" and no code.
    void setDenied(bool denied) { m_denied = denied; }
    /// Token requests must carry this client id and secret; codes need no PKCE.
    void requireClientSecret(QString clientId, QString clientSecret) {
        m_clientId = std::move(clientId);
        m_clientSecret = std::move(clientSecret);
    }
    /// Each refresh token is good for one refresh, as with services that rotate them.
    void setSingleUseRefreshTokens(bool on) { m_singleUseRefresh = on; }
    /// Members added to every token answer (e.g. the user's alias).
    void setAnswerExtras(QJsonObject extras) { m_extras = std::move(extras); }
    int tokensIssued() const noexcept { return m_issued; }
    int refreshes() const noexcept { return m_refreshes; }

private:
    HttpServer::Response issue();
    bool confidential() const { return !m_clientSecret.isEmpty(); }

    QString m_pendingCode;
    QString m_pendingChallenge;
    QSet<QString> m_accessTokens;
    QSet<QString> m_refreshTokens;
    bool m_denied = false;
    QString m_clientId;
    QString m_clientSecret;
    bool m_singleUseRefresh = false;
    QJsonObject m_extras;
    int m_issued = 0;
    int m_refreshes = 0;
};

} // namespace keskor::testing
