#pragma once
// One REST request of a cloud provider over QNetworkAccessManager, with the limits every
// provider needs: a bounded answer body, a redirect limit, a transfer timeout, and an answer cut
// short reported as a failure rather than handed on as a file. Failure texts follow the
// providers' convention: a transport or HTTP error yields its own description; a failure
// without one yields the localised "dialog_error".
//
// Callbacks run on the thread that owns the network manager (the main thread); exactly one of
// them runs per request. Requests still running when the client is destroyed are aborted and
// call nothing.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace keskor {

class HttpClient {
public:
    struct Request {
        QByteArray method = "GET";
        QUrl url;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        /// Database files are far below this; a larger answer is refused, not buffered.
        qint64 maxBodyBytes = 64 * 1024 * 1024;
        int maxRedirects = 5;
        /// Off: a redirect is answered as it is, with `finalUrl` its target, so a caller can
        /// follow it without the headers (a token must not travel to another host).
        bool followRedirects = true;
        /// Longest pause in the transfer before it fails.
        std::chrono::milliseconds timeout{30000};
    };
    struct Response {
        int status = 0;
        QByteArray body;
        /// Where the answer finally came from, after redirects.
        QUrl finalUrl;
    };
    using Done = std::function<void(const Response&)>;
    /// `status` is the HTTP status when the server answered, 0 otherwise (so a provider can tell
    /// an expired token, 401, from the rest).
    using Failed = std::function<void(const QString& message, int status)>;
    using TextLookup = std::function<QString(const QString& key)>;

    HttpClient(QNetworkAccessManager& network, TextLookup text);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void send(Request request, Done done, Failed failed);

private:
    void finish(QNetworkReply* reply, qint64 limit, bool tooLarge, bool followRedirects,
                const QByteArray& body, const Done& done, const Failed& failed);

    QNetworkAccessManager& m_network;
    TextLookup m_text;
    QList<QPointer<QNetworkReply>> m_running;
};

} // namespace keskor
