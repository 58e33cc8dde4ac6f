#include "storage/OAuthSession.h"

#include "core/shared/CommonException.h"
#include "platform/Keychain.h"

#include <QDebug>

namespace keskor {

OAuthSession::OAuthSession(HttpClient& http, OAuthFlow& flow, Keychain& keychain,
                           QString keychainKey)
    : m_http(http), m_flow(flow), m_keychain(keychain), m_key(std::move(keychainKey)) {
    if (const std::optional<QString> stored = m_keychain.get(m_key)) {
        m_tokens = OAuthFlow::Tokens::fromJson(*stored);
    }
}

bool OAuthSession::store(const OAuthFlow::Tokens& tokens, const Failed& failed) {
    m_tokens = tokens;
    try {
        m_keychain.set(m_key, tokens.toJson());
    } catch (const CommonException& e) {
        failed(e.message());
        return false;
    }
    return true;
}

void OAuthSession::signIn(Done done, Failed failed) {
    m_flow.authorize(
        [this, done, failed](const OAuthFlow::Tokens& tokens) {
            if (store(tokens, failed)) {
                done();
            }
        },
        failed);
}

void OAuthSession::signOut() {
    m_flow.cancel();
    m_tokens.reset();
    try {
        m_keychain.remove(m_key);
    } catch (const CommonException& e) {
        qWarning().noquote() << "cloud sign-out: the stored tokens could not be removed:"
                             << e.message();
    }
}

void OAuthSession::refreshNow(Done done, Failed failed) {
    if (!m_tokens || m_tokens->refreshToken.isEmpty()) {
        failed(m_flow.signInFailedText());
        return;
    }
    m_flow.refresh(
        m_tokens->refreshToken,
        [this, done, failed](const OAuthFlow::Tokens& tokens) {
            if (store(tokens, failed)) {
                done();
            }
        },
        [this, failed](const QString& message) {
            signOut();
            failed(message);
        });
}

void OAuthSession::ensureFresh(Done done, Failed failed) {
    if (!m_tokens) {
        failed(m_flow.signInFailedText());
        return;
    }
    if (m_tokens->expiresSoon(QDateTime::currentDateTimeUtc())) {
        refreshNow(std::move(done), std::move(failed));
        return;
    }
    done();
}

void OAuthSession::send(HttpClient::Request request, HttpClient::Done done,
                        HttpClient::Failed failed) {
    ensureFresh([this, request, done, failed] { sendOnce(request, true, done, failed); },
                [failed](const QString& message) { failed(message, 0); });
}

void OAuthSession::sendOnce(HttpClient::Request request, bool mayRetry, HttpClient::Done done,
                            HttpClient::Failed failed) {
    HttpClient::Request authorised = request;
    authorised.headers.append(
        {"Authorization", "Bearer " + (m_tokens ? m_tokens->accessToken.toUtf8() : QByteArray())});
    m_http.send(authorised, done,
                [this, request, mayRetry, done, failed](const QString& message, int status) {
                    if (status != 401 || !mayRetry) {
                        failed(message, status);
                        return;
                    }
                    refreshNow(
                        [this, request, done, failed] { sendOnce(request, false, done, failed); },
                        [failed](const QString& text) { failed(text, 401); });
                });
}

} // namespace keskor
