#include "testing/FakeOAuthServer.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace keskor::testing {

namespace {

HttpServer::Response invalidGrant() {
    return HttpServer::Response::json(400, R"({"error":"invalid_grant"})");
}

} // namespace

std::optional<HttpServer::Response> FakeOAuthServer::handle(const HttpServer::Request& request) {
    if (request.path().endsWith(QLatin1String("/authorize"))) {
        const QUrlQuery query = request.query();
        const QString redirect =
            query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded);
        QUrl back(redirect);
        if ((!confidential() &&
             query.queryItemValue(QStringLiteral("code_challenge_method")) != "S256") ||
            (!back.isValid() && !(confidential() && redirect.isEmpty()))) {
            return HttpServer::Response::json(400, R"({"error":"invalid_request"})");
        }
        m_pendingCode = QStringLiteral("code-%1").arg(m_issued + 1);
        m_pendingChallenge = query.queryItemValue(QStringLiteral("code_challenge"));
        if (redirect.isEmpty()) {
            return HttpServer::Response{200,
                                        {{"Content-Type", "text/html; charset=utf-8"}},
                                        "<p>Your code: <b>" + m_pendingCode.toUtf8() + "</b></p>",
                                        -1};
        }
        QUrlQuery answer;
        answer.addQueryItem(m_denied ? QStringLiteral("error") : QStringLiteral("code"),
                            m_denied ? QStringLiteral("access_denied") : m_pendingCode);
        if (query.hasQueryItem(QStringLiteral("state"))) {
            answer.addQueryItem(QStringLiteral("state"),
                                query.queryItemValue(QStringLiteral("state")));
        }
        back.setQuery(answer);
        return HttpServer::Response::redirect(back);
    }
    if (!request.path().endsWith(QLatin1String("/token")) || request.method != "POST") {
        return std::nullopt;
    }
    const QUrlQuery form(QString::fromLatin1(request.body));
    const QString grant = form.queryItemValue(QStringLiteral("grant_type"));
    if (confidential() && (form.queryItemValue(QStringLiteral("client_id")) != m_clientId ||
                           form.queryItemValue(QStringLiteral("client_secret"),
                                               QUrl::FullyDecoded) != m_clientSecret)) {
        return HttpServer::Response::json(400, R"({"error":"invalid_client"})");
    }
    if (grant == QLatin1String("authorization_code")) {
        const QByteArray challenge =
            QCryptographicHash::hash(
                form.queryItemValue(QStringLiteral("code_verifier")).toLatin1(),
                QCryptographicHash::Sha256)
                .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        if (m_pendingCode.isEmpty() ||
            form.queryItemValue(QStringLiteral("code")) != m_pendingCode ||
            (!confidential() && QString::fromLatin1(challenge) != m_pendingChallenge)) {
            return invalidGrant();
        }
        m_pendingCode.clear(); // a code is good for one exchange
        return issue();
    }
    if (grant == QLatin1String("refresh_token") &&
        m_refreshTokens.contains(form.queryItemValue(QStringLiteral("refresh_token")))) {
        ++m_refreshes;
        if (m_singleUseRefresh) {
            m_refreshTokens.remove(form.queryItemValue(QStringLiteral("refresh_token")));
        }
        return issue();
    }
    return invalidGrant();
}

HttpServer::Response FakeOAuthServer::issue() {
    ++m_issued;
    const QString access = QStringLiteral("access-%1").arg(m_issued);
    const QString refresh = QStringLiteral("refresh-%1").arg(m_issued);
    m_accessTokens.insert(access);
    m_refreshTokens.insert(refresh);
    QJsonObject answer = m_extras;
    answer.insert(QStringLiteral("access_token"), access);
    answer.insert(QStringLiteral("refresh_token"), refresh);
    answer.insert(QStringLiteral("token_type"), QStringLiteral("Bearer"));
    answer.insert(QStringLiteral("expires_in"), 3600);
    return HttpServer::Response::json(200, QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

bool FakeOAuthServer::isValidAccessToken(const QByteArray& authorizationHeader) const {
    return authorizationHeader.startsWith("Bearer ") &&
           m_accessTokens.contains(QString::fromLatin1(authorizationHeader.mid(7)));
}

} // namespace keskor::testing
