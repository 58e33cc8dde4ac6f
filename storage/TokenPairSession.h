#pragma once
// The signed-in state of a provider whose access and refresh tokens are kept as two keychain
// entries under keys of its own, and whose token endpoint takes the client secret with every
// form (Box, HiDrive). A refresh is shared: while one runs, later callers wait for its answer,
// since these services hand out a new refresh token each time and spend the old one.
// Authorised requests carry "Bearer <token>" and are sent once more, after a refresh, when the
// service answers 401. A refused code or refresh token (400 or 401 from the token endpoint), or
// a token answer without the tokens, forgets the tokens: the user signs in again. A token
// endpoint that cannot be reached keeps them, so a sign-in survives an outage.

#include "storage/HttpClient.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

namespace keskor {

class Keychain;

class TokenPairSession {
public:
    struct Config {
        QUrl tokenUrl;
        QString clientId;
        QString clientSecret;
        QString accessTokenKey;
        QString refreshTokenKey;
        /// Further members a token answer must hold as texts (HiDrive's "alias").
        QStringList requiredMembers;
    };
    using Done = std::function<void()>;
    using Failed = std::function<void(const QString& message)>;

    /// Reads both tokens from the keychain.
    TokenPairSession(HttpClient& http, Keychain& keychain, Config config,
                     HttpClient::TextLookup text);

    /// Both tokens are held; answered without network traffic.
    bool hasTokens() const { return m_accessToken.has_value() && m_refreshToken.has_value(); }
    /// The last token answer accepted in this run; empty before the first.
    const QJsonObject& answer() const noexcept { return m_answer; }

    /// Trades an authorisation code for tokens.
    void exchangeCode(const QString& code, Done done, Failed failed);
    /// A new pair of tokens for the stored refresh token.
    void refresh(Done done, Failed failed);
    /// Forgets the tokens here and in the keychain.
    void signOut();
    /// `request` with the bearer header ("Bearer " alone without a token), sent once more after a
    /// refresh when the service answers 401.
    void send(HttpClient::Request request, HttpClient::Done done, HttpClient::Failed failed);

    /// Localised "authorization", a blank and localised "failed".
    QString signInFailedText() const;

private:
    void post(const QList<QPair<QString, QString>>& form, Done done, Failed failed);
    void sendOnce(HttpClient::Request request, bool mayRetry, HttpClient::Done done,
                  HttpClient::Failed failed);
    void finishRefresh(const std::optional<QString>& failure);

    HttpClient& m_http;
    Keychain& m_keychain;
    Config m_config;
    HttpClient::TextLookup m_text;
    std::optional<QString> m_accessToken;
    std::optional<QString> m_refreshToken;
    QJsonObject m_answer;
    /// Callers of the refresh that is running; empty when none runs.
    QList<QPair<Done, Failed>> m_waiting;
};

} // namespace keskor
