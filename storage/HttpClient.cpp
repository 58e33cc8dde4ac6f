#include "storage/HttpClient.h"

#include <QBuffer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>

namespace keskor {

HttpClient::HttpClient(QNetworkAccessManager& network, TextLookup text)
    : m_network(network), m_text(std::move(text)) {}

HttpClient::~HttpClient() {
    for (const QPointer<QNetworkReply>& reply : m_running) {
        if (reply) {
            reply->disconnect();
            reply->abort();
            reply->deleteLater();
        }
    }
}

void HttpClient::send(Request request, Done done, Failed failed) {
    QNetworkRequest http(request.url);
    http.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                      request.followRedirects ? QNetworkRequest::NoLessSafeRedirectPolicy
                                              : QNetworkRequest::ManualRedirectPolicy);
    http.setMaximumRedirectsAllowed(request.maxRedirects);
    http.setTransferTimeout(static_cast<int>(request.timeout.count()));
    for (const auto& [name, value] : request.headers) {
        http.setRawHeader(name, value);
    }
    QNetworkReply* reply = m_network.sendCustomRequest(http, request.method, request.body);
    m_running.append(reply);

    // The body is read as it arrives, so an oversized answer is stopped at the bound instead of
    // being held in memory whole.
    auto body = std::make_shared<QByteArray>();
    auto tooLarge = std::make_shared<bool>(false);
    const qint64 limit = request.maxBodyBytes;
    const bool follow = request.followRedirects;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, body, tooLarge, limit] {
        body->append(reply->readAll());
        if (body->size() > limit && !*tooLarge) {
            *tooLarge = true;
            body->clear();
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [this, reply, body, tooLarge, limit, follow, done = std::move(done),
                      failed = std::move(failed)] {
                         m_running.removeAll(reply);
                         reply->deleteLater();
                         if (!*tooLarge) {
                             body->append(reply->readAll());
                         }
                         finish(reply, limit, *tooLarge, follow, *body, done, failed);
                     });
}

void HttpClient::finish(QNetworkReply* reply, qint64 limit, bool tooLarge, bool followRedirects,
                        const QByteArray& body, const Done& done, const Failed& failed) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (!followRedirects && status >= 300 && status < 400 && target.isValid() &&
        reply->error() == QNetworkReply::NoError) {
        done(Response{status, {}, reply->url().resolved(target)});
        return;
    }
    if (tooLarge || body.size() > limit) {
        failed(m_text(QStringLiteral("error_answer_too_large")), status);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        const QString description = reply->errorString();
        failed(description.isEmpty() ? m_text(QStringLiteral("dialog_error")) : description,
               status);
        return;
    }
    // A connection closed before the announced length is an answer cut short, never a file.
    bool hasLength = false;
    const qint64 announced =
        reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&hasLength);
    if (status == 0 || (hasLength && announced != body.size())) {
        failed(m_text(status == 0 ? QStringLiteral("dialog_error")
                                  : QStringLiteral("error_answer_cut_short")),
               status);
        return;
    }
    done(Response{status, body, reply->url()});
}

} // namespace keskor
