#include "storage/OAuthFlow.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

namespace keskor {

namespace {

QString randomText(int bytes) {
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(raw.begin(), raw.end());
    return QString::fromLatin1(
        raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QByteArray formBody(const QList<QPair<QString, QString>>& form) {
    QUrlQuery query;
    for (const auto& [name, value] : form) {
        query.addQueryItem(name, QString::fromLatin1(QUrl::toPercentEncoding(value)));
    }
    return query.query(QUrl::FullyEncoded).toLatin1();
}

constexpr qint64 kRequestLimit = 16 * 1024;

} // namespace

bool OAuthFlow::Tokens::expiresSoon(const QDateTime& now) const {
    return expiresAt.isValid() && now.secsTo(expiresAt) < 60;
}

QString OAuthFlow::Tokens::toJson() const {
    QJsonObject stored = answer;
    stored.insert(QStringLiteral("access_token"), accessToken);
    stored.insert(QStringLiteral("refresh_token"), refreshToken);
    if (expiresAt.isValid()) {
        stored.insert(QStringLiteral("expires_at"), expiresAt.toSecsSinceEpoch());
    }
    return QString::fromUtf8(QJsonDocument(stored).toJson(QJsonDocument::Compact));
}

std::optional<OAuthFlow::Tokens> OAuthFlow::Tokens::fromJson(const QString& text) {
    const QJsonObject stored = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString access = stored.value(QStringLiteral("access_token")).toString();
    if (access.isEmpty()) {
        return std::nullopt;
    }
    Tokens tokens{access, stored.value(QStringLiteral("refresh_token")).toString(), {}, stored};
    if (stored.contains(QStringLiteral("expires_at"))) {
        tokens.expiresAt = QDateTime::fromSecsSinceEpoch(
            stored.value(QStringLiteral("expires_at")).toInteger(), Qt::UTC);
    }
    return tokens;
}

OAuthFlow::OAuthFlow(HttpClient& http, Config config, OpenBrowser openBrowser,
                     HttpClient::TextLookup text)
    : m_http(http), m_config(std::move(config)), m_openBrowser(std::move(openBrowser)),
      m_text(std::move(text)) {}

OAuthFlow::~OAuthFlow() = default;

QString OAuthFlow::signInFailedText() const {
    return m_text(QStringLiteral("authorization")) + QLatin1Char(' ') +
           m_text(QStringLiteral("failed"));
}

void OAuthFlow::cancel() {
    m_listener.reset();
    m_done = nullptr;
    m_failed = nullptr;
}

void OAuthFlow::authorize(TokensDone done, Failed failed) {
    cancel();
    m_listener = std::make_unique<QTcpServer>();
    if (!m_listener->listen(QHostAddress::LocalHost, 0)) {
        m_listener.reset();
        failed(signInFailedText());
        return;
    }
    m_done = std::move(done);
    m_failed = std::move(failed);
    m_state = randomText(16);
    m_verifier = randomText(32);
    m_redirectUri = QStringLiteral("http://127.0.0.1:%1/").arg(m_listener->serverPort());
    const QByteArray challenge =
        QCryptographicHash::hash(m_verifier.toLatin1(), QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    QObject::connect(m_listener.get(), &QTcpServer::newConnection, m_listener.get(),
                     [this] { onRedirect(); });

    QUrl url = m_config.authorizeUrl;
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("client_id"), m_config.clientId);
    query.addQueryItem(QStringLiteral("redirect_uri"), m_redirectUri);
    query.addQueryItem(QStringLiteral("scope"), m_config.scopes.join(QLatin1Char(' ')));
    query.addQueryItem(QStringLiteral("state"), m_state);
    query.addQueryItem(QStringLiteral("code_challenge"), QString::fromLatin1(challenge));
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    for (const auto& [name, value] : m_config.extraParameters) {
        query.addQueryItem(name, value);
    }
    url.setQuery(query);
    m_openBrowser(url);
}

void OAuthFlow::onRedirect() {
    QTcpSocket* socket = m_listener->nextPendingConnection();
    if (!socket) {
        return;
    }
    socket->setParent(m_listener.get());
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        if (socket->bytesAvailable() > kRequestLimit) {
            socket->abort();
            return;
        }
        if (!socket->canReadLine()) {
            return;
        }
        // "GET /?code=...&state=... HTTP/1.1": only the request line matters.
        const QList<QByteArray> line = socket->readLine().trimmed().split(' ');
        const QUrlQuery query(QUrl::fromEncoded(line.value(1)));
        const bool ours = query.queryItemValue(QStringLiteral("state")) == m_state;
        const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
        const QByteArray page = ours && !code.isEmpty()
                                    ? QByteArrayLiteral("Signed in. You can close this window.")
                                    : QByteArrayLiteral("Sign-in failed.");
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\n"
                      "Content-Length: " +
                      QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
        socket->disconnectFromHost();
        if (!ours) {
            return; // a stray request (another tab, a favicon) does not end the sign-in
        }
        TokensDone done = std::move(m_done);
        Failed failed = std::move(m_failed);
        // The listener owns this socket; it goes once control is back in the event loop.
        m_listener.release()->deleteLater();
        if (code.isEmpty()) {
            const bool denied =
                query.queryItemValue(QStringLiteral("error")) == QLatin1String("access_denied");
            failed(denied && !m_config.deniedTextKey.isEmpty() ? m_text(m_config.deniedTextKey)
                                                               : signInFailedText());
            return;
        }
        QList<QPair<QString, QString>> form{
            {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
            {QStringLiteral("code"), code},
            {QStringLiteral("redirect_uri"), m_redirectUri},
            {QStringLiteral("code_verifier"), m_verifier}};
        exchange(form, {}, std::move(done), std::move(failed));
    });
}

void OAuthFlow::refresh(const QString& refreshToken, TokensDone done, Failed failed) {
    exchange({{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
              {QStringLiteral("refresh_token"), refreshToken}},
             refreshToken, std::move(done), std::move(failed));
}

void OAuthFlow::exchange(const QList<QPair<QString, QString>>& form, const QString& keptRefresh,
                         TokensDone done, Failed failed) {
    QList<QPair<QString, QString>> fields = form;
    fields.append({QStringLiteral("client_id"), m_config.clientId});
    if (!m_config.clientSecret.isEmpty()) {
        fields.append({QStringLiteral("client_secret"), m_config.clientSecret});
    }
    HttpClient::Request request;
    request.method = "POST";
    request.url = m_config.tokenUrl;
    request.headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                       {"Accept", "application/json"}};
    request.body = formBody(fields);
    request.maxBodyBytes = 64 * 1024;
    m_http.send(
        request,
        [this, keptRefresh, done, failed](const HttpClient::Response& response) {
            const QJsonObject answer = QJsonDocument::fromJson(response.body).object();
            Tokens tokens{answer.value(QStringLiteral("access_token")).toString(),
                          answer.value(QStringLiteral("refresh_token")).toString(keptRefresh),
                          {},
                          answer};
            if (tokens.accessToken.isEmpty()) {
                failed(signInFailedText());
                return;
            }
            if (const qint64 lifetime = answer.value(QStringLiteral("expires_in")).toInteger();
                lifetime > 0) {
                tokens.expiresAt = QDateTime::currentDateTimeUtc().addSecs(lifetime);
            }
            done(tokens);
        },
        // A refused code or refresh token (400 "invalid_grant") means signing in again.
        [this, failed](const QString&, int) { failed(signInFailedText()); });
}

} // namespace keskor
