#pragma once
// A small HTTP/1.1 server on 127.0.0.1 over real sockets, on which the REST fakes of the cloud
// providers are built: it parses one request per connection (headers and a Content-Length
// body), hands it to the route handler and writes the handler's answer, then closes. An answer
// can announce more bytes than it sends, to test an answer cut short.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QUrl>
#include <QUrlQuery>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace keskor::testing {

class HttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        /// Path and query as sent.
        QUrl target;
        /// Header names in lower case.
        QMap<QByteArray, QByteArray> headers;
        QByteArray body;

        QString path() const { return target.path(); }
        QUrlQuery query() const { return QUrlQuery(target); }
    };
    struct Response {
        /// 0: no answer at all, the connection is left open (a server that stalls).
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        /// Content-Length announced; -1 for the body's real size.
        qint64 announcedLength = -1;

        static Response json(int status, const QByteArray& body);
        static Response redirect(const QUrl& to);
    };
    using Handler = std::function<Response(const Request&)>;

    explicit HttpServer(Handler handler, QObject* parent = nullptr);
    ~HttpServer() override;

    /// Listens on an ephemeral port of 127.0.0.1.
    bool listen();
    /// http://127.0.0.1:<port>
    QUrl baseUrl() const;
    const QList<Request>& requests() const noexcept { return m_requests; }

private:
    void onReadyRead(QTcpSocket* socket);

    Handler m_handler;
    QTcpServer* m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<Request> m_requests;
};

} // namespace keskor::testing
