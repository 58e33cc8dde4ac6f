#include "tools/PwnedPasswordsClient.h"

#include "core/shared/SecureBytes.h"
#include "tools/PwnedRangeParser.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace keskor {

namespace {
const QByteArray kApiKeyHeader = QByteArrayLiteral("hibp-api-key");
// Qt reports a transfer timeout as a cancellation; this says what actually happened.
const QString kTimeoutText =
    QStringLiteral("The breached-password service did not answer in time.");
} // namespace

PwnedPasswordsClient::PwnedPasswordsClient(QNetworkAccessManager& network, Config config,
                                           QObject* parent)
    : QObject(parent), m_network(network), m_config(std::move(config)) {}

PwnedPasswordsClient::~PwnedPasswordsClient() {
    const QList<Pending> pending = std::move(m_pending);
    m_pending.clear();
    for (const Pending& p : pending) {
        if (p.reply) {
            p.reply->disconnect(this);
            p.reply->abort();
            p.reply->deleteLater();
        }
    }
}

QString PwnedPasswordsClient::digestText(const QString& password) {
    QByteArray utf8 = password.toUtf8();
    const QByteArray digest = QCryptographicHash::hash(utf8, QCryptographicHash::Sha1);
    secureWipe(utf8);
    return QString::fromLatin1(digest.toHex());
}

QUrl PwnedPasswordsClient::rangeUrl(const QString& prefix) const {
    QUrl url = m_config.baseUrl;
    QString path = url.path();
    while (path.endsWith(u'/')) {
        path.chop(1);
    }
    url.setPath(path + QStringLiteral("/range/") + prefix);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

void PwnedPasswordsClient::checkPassword(const QString& password, ResultCallback onResult,
                                         FailureCallback onFailure) {
    const QString digest = digestText(password);
    fetchRange(
        rangePrefix(digest),
        [suffix = rangeSuffix(digest), onResult = std::move(onResult)](const QByteArray& body) {
            if (onResult) {
                onResult(PwnedRangeParser::countForSuffix(QString::fromUtf8(body), suffix));
            }
        },
        std::move(onFailure));
}

void PwnedPasswordsClient::fetchRange(const QString& prefix, RangeCallback onBody,
                                      FailureCallback onFailure) {
    QNetworkRequest request(rangeUrl(prefix));
    request.setRawHeader(kApiKeyHeader, m_config.apiKey);
    request.setTransferTimeout(static_cast<int>(m_config.timeout.count()));
    // The API key goes to the configured host only, never to where a redirect points.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    // Never serve one password's answer from a cache to another.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);

    QNetworkReply* reply = m_network.get(request);
    m_pending.append(Pending{reply, {}, false, std::move(onBody), std::move(onFailure)});
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] { onReadyRead(reply); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onFinished(reply); });
}

PwnedPasswordsClient::Pending* PwnedPasswordsClient::pendingFor(QNetworkReply* reply) {
    for (Pending& p : m_pending) {
        if (p.reply == reply) {
            return &p;
        }
    }
    return nullptr;
}

void PwnedPasswordsClient::onReadyRead(QNetworkReply* reply) {
    Pending* p = pendingFor(reply);
    if (p == nullptr || p->tooLarge) {
        return;
    }
    p->body += reply->readAll();
    if (p->body.size() > m_config.maxBodyBytes) {
        p->tooLarge = true;
        p->body.clear();
        reply->abort(); // finished() follows and reports the failure
    }
}

void PwnedPasswordsClient::onFinished(QNetworkReply* reply) {
    reply->deleteLater();
    Pending* found = pendingFor(reply);
    if (found == nullptr) {
        return;
    }
    Pending p = std::move(*found);
    m_pending.removeIf([reply](const Pending& other) { return other.reply == reply; });

    // The callbacks may destroy this client: nothing of it is touched after them.
    auto fail = [&p](const UiText& message) {
        if (p.onFailure) {
            p.onFailure(message);
        }
    };
    if (p.tooLarge) {
        fail(UiText::key(QStringLiteral("pwned_failed")));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        // Only the transfer timeout aborts a reply that is still ours.
        const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError ||
                              reply->error() == QNetworkReply::TimeoutError;
        fail(UiText::plain(timedOut ? kTimeoutText : reply->errorString()));
        return;
    }
    p.body += reply->readAll();
    if (p.body.isEmpty() || p.body.size() > m_config.maxBodyBytes) {
        fail(UiText::key(QStringLiteral("pwned_failed")));
        return;
    }
    if (p.onBody) {
        p.onBody(p.body);
    }
}

} // namespace keskor
