#include "storage/TokenPairSession.h"

#include "core/shared/CommonException.h"
#include "platform/Keychain.h"

#include <QDebug>
#include <QJsonDocument>
#include <QUrlQuery>
#include <utility>

namespace keskor {

namespace {

QByteArray formBody(const QList<QPair<QString, QString>>& form) {
    QUrlQuery query;
    for (const auto& [name, value] : form) {
        query.addQueryItem(name, QString::fromLatin1(QUrl::toPercentEncoding(value)));
    }
    return query.query(QUrl::FullyEncoded).toLatin1();
}

} // namespace

TokenPairSession::TokenPairSession(HttpClient& http, Keychain& keychain, Config config,
                                   HttpClient::TextLookup text)
    : m_http(http), m_keychain(keychain), m_config(std::move(config)), m_text(std::move(text)) {
    m_accessToken = m_keychain.get(m_config.accessTokenKey);
    m_refreshToken = m_keychain.get(m_config.refreshTokenKey);
}

QString TokenPairSession::signInFailedText() const {
    return m_text(QStringLiteral("authorization")) + QLatin1Char(' ') +
           m_text(QStringLiteral("failed"));
}

void TokenPairSession::signOut() {
    m_accessToken.reset();
    m_refreshToken.reset();
    m_answer = {};
    try {
        m_keychain.remove(m_config.accessTokenKey);
        m_keychain.remove(m_config.refreshTokenKey);
    } catch (const CommonException& e) {
        qWarning().noquote() << "cloud sign-out: the stored tokens could not be removed:"
                             << e.message();
    }
}

void TokenPairSession::exchangeCode(const QString& code, Done done, Failed failed) {
    post({{QStringLiteral("client_id"), m_config.clientId},
          {QStringLiteral("client_secret"), m_config.clientSecret},
          {QStringLiteral("code"), code},
          {QStringLiteral("grant_type"), QStringLiteral("authorization_code")}},
         std::move(done), std::move(failed));
}

void TokenPairSession::refresh(Done done, Failed failed) {
    if (!m_refreshToken) {
        failed(signInFailedText());
        return;
    }
    m_waiting.append({std::move(done), std::move(failed)});
    if (m_waiting.size() > 1) {
        return; // the running refresh answers for this caller too
    }
    post(
        {{QStringLiteral("client_id"), m_config.clientId},
         {QStringLiteral("client_secret"), m_config.clientSecret},
         {QStringLiteral("refresh_token"), *m_refreshToken},
         {QStringLiteral("grant_type"), QStringLiteral("refresh_token")}},
        [this] { finishRefresh(std::nullopt); },
        [this](const QString& message) { finishRefresh(message); });
}

void TokenPairSession::finishRefresh(const std::optional<QString>& failure) {
    // Taken first: a caller may start the next refresh from its callback.
    const QList<QPair<Done, Failed>> waiting = std::exchange(m_waiting, {});
    for (const auto& [done, failed] : waiting) {
        if (failure) {
            failed(*failure);
        } else {
            done();
        }
    }
}

void TokenPairSession::post(const QList<QPair<QString, QString>>& form, Done done, Failed failed) {
    HttpClient::Request request;
    request.method = "POST";
    request.url = m_config.tokenUrl;
    request.headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                       {"Accept", "application/json"}};
    request.body = formBody(form);
    request.maxBodyBytes = 64 * 1024;
    m_http.send(
        request,
        [this, done, failed](const HttpClient::Response& response) {
            const QJsonObject answer = QJsonDocument::fromJson(response.body).object();
            QStringList required = m_config.requiredMembers;
            required << QStringLiteral("access_token") << QStringLiteral("refresh_token");
            for (const QString& member : required) {
                if (!answer.value(member).isString() || answer.value(member).toString().isEmpty()) {
                    signOut();
                    failed(signInFailedText());
                    return;
                }
            }
            m_accessToken = answer.value(QStringLiteral("access_token")).toString();
            m_refreshToken = answer.value(QStringLiteral("refresh_token")).toString();
            m_answer = answer;
            try {
                m_keychain.set(m_config.accessTokenKey, *m_accessToken);
                m_keychain.set(m_config.refreshTokenKey, *m_refreshToken);
            } catch (const CommonException& e) {
                failed(e.message());
                return;
            }
            done();
        },
        [this, failed](const QString& message, int status) {
            if (status == 400 || status == 401) {
                signOut();
                failed(signInFailedText());
                return;
            }
            failed(message);
        });
}

void TokenPairSession::send(HttpClient::Request request, HttpClient::Done done,
                            HttpClient::Failed failed) {
    sendOnce(std::move(request), true, std::move(done), std::move(failed));
}

void TokenPairSession::sendOnce(HttpClient::Request request, bool mayRetry, HttpClient::Done done,
                                HttpClient::Failed failed) {
    HttpClient::Request authorised = request;
    authorised.headers.append(
        {"Authorization", "Bearer " + m_accessToken.value_or(QString()).toUtf8()});
    m_http.send(authorised, done,
                [this, request, mayRetry, done, failed](const QString& message, int status) {
                    if (status != 401 || !mayRetry || !m_refreshToken) {
                        failed(message, status);
                        return;
                    }
                    refresh(
                        [this, request, done, failed] { sendOnce(request, false, done, failed); },
                        [failed](const QString& text) { failed(text, 401); });
                });
}

} // namespace keskor
