#pragma once
// The signed-in state of one OAuth provider: its tokens, kept in the keychain under the
// provider's key so a sign-in survives a restart, and authorised requests. A request starts
// with a fresh token (refreshed first when it is about to expire); when the service still
// answers 401, because the token expired in the middle or was revoked, the token is refreshed
// and the request sent once more, whole. A refused refresh forgets the tokens: the user signs
// in again.

#include "storage/HttpClient.h"
#include "storage/OAuthFlow.h"

#include <QString>
#include <functional>
#include <optional>

namespace keskor {

class Keychain;

class OAuthSession {
public:
    using Done = std::function<void()>;
    using Failed = std::function<void(const QString& message)>;

    /// Reads the stored tokens of `keychainKey`, if any.
    OAuthSession(HttpClient& http, OAuthFlow& flow, Keychain& keychain, QString keychainKey);

    /// Tokens are held; answered without network traffic.
    bool hasTokens() const { return m_tokens.has_value(); }
    const std::optional<OAuthFlow::Tokens>& tokens() const { return m_tokens; }

    /// Browser sign-in; the tokens are stored on success.
    void signIn(Done done, Failed failed);
    /// Forgets the tokens here and in the keychain.
    void signOut();
    /// A fresh access token now, refreshing when it is about to expire.
    void ensureFresh(Done done, Failed failed);
    /// `request` with "Authorization: Bearer <token>", with the refresh rules above. Failures
    /// other than a refused refresh carry the HTTP client's text.
    void send(HttpClient::Request request, HttpClient::Done done, HttpClient::Failed failed);

private:
    void refreshNow(Done done, Failed failed);
    void sendOnce(HttpClient::Request request, bool mayRetry, HttpClient::Done done,
                  HttpClient::Failed failed);
    /// False (with `failed` called) when the keychain refused the tokens.
    bool store(const OAuthFlow::Tokens& tokens, const Failed& failed);

    HttpClient& m_http;
    OAuthFlow& m_flow;
    Keychain& m_keychain;
    QString m_key;
    std::optional<OAuthFlow::Tokens> m_tokens;
};

} // namespace keskor
