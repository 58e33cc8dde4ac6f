#pragma once
// OAuth 2.0 authorisation code with PKCE (S256) through the system browser and a loopback
// redirect: a one-shot listener on 127.0.0.1 receives the browser's return, the state is
// checked, and the code is exchanged at the token endpoint. Also refreshes tokens. Shared by
// the providers that sign in through a browser; each provider keeps the tokens in the keychain
// under its own keys (Tokens::toJson is the stored form).

#include "storage/HttpClient.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QTcpServer;

namespace keskor {

class OAuthFlow {
public:
    struct Config {
        QUrl authorizeUrl;
        QUrl tokenUrl;
        QString clientId;
        /// Sent only when not empty (installed-application clients of some providers have one).
        QString clientSecret;
        QStringList scopes;
        /// Provider-specific parameters of the authorisation URL (e.g. "access_type").
        QList<QPair<QString, QString>> extraParameters;
        /// The key of the failure text when the user declines ("error=access_denied"); the
        /// sign-in text when empty.
        QString deniedTextKey = {};
    };
    struct Tokens {
        QString accessToken;
        QString refreshToken;
        /// Invalid when the answer named no lifetime.
        QDateTime expiresAt;
        /// The whole token answer, for members a provider needs (e.g. an id token).
        QJsonObject answer;

        /// True shortly before the real expiry, so a request never starts with a dying token.
        bool expiresSoon(const QDateTime& now) const;
        QString toJson() const;
        static std::optional<Tokens> fromJson(const QString& text);
    };
    using TokensDone = std::function<void(const Tokens&)>;
    using Failed = std::function<void(const QString& message)>;
    using OpenBrowser = std::function<void(const QUrl& url)>;

    OAuthFlow(HttpClient& http, Config config, OpenBrowser openBrowser,
              HttpClient::TextLookup text);
    ~OAuthFlow();
    OAuthFlow(const OAuthFlow&) = delete;
    OAuthFlow& operator=(const OAuthFlow&) = delete;

    /// Opens the browser on the authorisation page and waits for its return. A sign-in still
    /// waiting is replaced (its callbacks are dropped).
    void authorize(TokensDone done, Failed failed);
    /// A fresh access token; an answer without a new refresh token keeps the old one.
    void refresh(const QString& refreshToken, TokensDone done, Failed failed);
    /// Stops waiting for the browser; nothing is called.
    void cancel();

    /// The provider's sign-in text: localised "authorization", a blank and "failed".
    QString signInFailedText() const;

private:
    void onRedirect();
    void exchange(const QList<QPair<QString, QString>>& form, const QString& keptRefresh,
                  TokensDone done, Failed failed);

    HttpClient& m_http;
    Config m_config;
    OpenBrowser m_openBrowser;
    HttpClient::TextLookup m_text;
    std::unique_ptr<QTcpServer> m_listener;
    QString m_state;
    QString m_verifier;
    QString m_redirectUri;
    TokensDone m_done;
    Failed m_failed;
};

} // namespace keskor
