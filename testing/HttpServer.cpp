#include "testing/HttpServer.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace keskor::testing {

namespace {

QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 204:
        return "No Content";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

HttpServer::Response HttpServer::Response::json(int status, const QByteArray& body) {
    return Response{status, {{"Content-Type", "application/json"}}, body, -1};
}

HttpServer::Response HttpServer::Response::redirect(const QUrl& to) {
    return Response{302, {{"Location", to.toEncoded()}}, {}, -1};
}

HttpServer::HttpServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

HttpServer::~HttpServer() = default;

bool HttpServer::listen() {
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QUrl HttpServer::baseUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()));
}

void HttpServer::onReadyRead(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer.append(socket->readAll());
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        return;
    }
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    Request request;
    request.method = first.value(0);
    request.target = QUrl::fromEncoded(first.value(1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
        }
    }
    const qint64 length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - end - 4 < length) {
        return; // the rest of the body is still on its way
    }
    request.body = buffer.mid(end + 4, length);
    m_buffers.remove(socket);
    m_requests.append(request);

    const Response response = m_handler(request);
    if (response.status == 0) {
        return;
    }
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    const qint64 announced =
        response.announcedLength >= 0 ? response.announcedLength : response.body.size();
    head += "Content-Length: " + QByteArray::number(announced) + "\r\nConnection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost();
}

} // namespace keskor::testing
